#pragma once
// A fixture that runs every case under English (United States) and gives the
// other tests of the program back whatever format settings they had.

#include "foundation/locale/format_settings.h"

#include <gtest/gtest.h>

namespace vorel::testing {

class EnglishUsLocaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FSaved = FormatSettings();
        SetFormatLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { SetFormatSettings(FSaved); }

private:
    TFormatSettings FSaved;
};

} // namespace vorel::testing
