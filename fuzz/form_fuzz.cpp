// libFuzzer target for report form reading: any bytes through format
// recognition, the binary and text readers, the resource header and the
// object bridge. Besides "no crash, no unbounded allocation" it checks that
// writing a tree that was read is stable.
//
// Built by fuzz/CMakeLists.txt (AUTOMOC: this file includes its .moc);
// scripts/fuzz.sh builds and runs it on fuzz/corpus/form.

#include "foundation/records/font.h"
#include "foundation/forms/form_objects.h"
#include "foundation/records/records.h"

#include <cstdint>
#include <cstdlib>

namespace fuzzform {

using namespace vorel;

class TFuzzEnums {
    Q_GADGET
public:
    enum TFuzzKind { fkOne, fkTwo, fkThree };
    Q_ENUM(TFuzzKind)
};

// A component with properties of every stored kind, so the bridge's
// conversions are reached.
class TFuzzControl : public TComponent {
    Q_OBJECT
    Q_PROPERTY(int Left MEMBER FLeft)
    Q_PROPERTY(uint Mask MEMBER FMask)
    Q_PROPERTY(qint64 Big MEMBER FBig)
    Q_PROPERTY(bool Visible MEMBER FVisible)
    Q_PROPERTY(double Ratio MEMBER FRatio)
    Q_PROPERTY(float Scale MEMBER FScale)
    Q_PROPERTY(QString Caption MEMBER FCaption)
    Q_PROPERTY(QByteArray Data MEMBER FData)
    Q_PROPERTY(QStringList Tags MEMBER FTags)
    Q_PROPERTY(fuzzform::TFuzzEnums::TFuzzKind Kind MEMBER FKind)
    Q_PROPERTY(vorel::TColor Color MEMBER FColor)
    Q_PROPERTY(vorel::Variant Value MEMBER FValue)
    Q_PROPERTY(vorel::TFont* Font READ Font)
    Q_PROPERTY(vorel::TStringList* Lines READ Lines)
    Q_PROPERTY(vorel::TKVXVariables* Variables READ Variables)
    Q_PROPERTY(vorel::TKVXHighLights* HighLights READ HighLights)
    Q_PROPERTY(vorel::TComponent* Link MEMBER FLink)
public:
    Q_INVOKABLE explicit TFuzzControl(QObject* owner = nullptr)
        : TComponent(owner), FFont(new TFont(this)), FLines(new TStringList(this)),
          FVariables(new TKVXVariables(this)), FHighLights(new TKVXHighLights(this))
    {
    }
    TFont* Font() const { return FFont; }
    TStringList* Lines() const { return FLines; }
    TKVXVariables* Variables() const { return FVariables; }
    TKVXHighLights* HighLights() const { return FHighLights; }

private:
    int FLeft = 0;
    uint FMask = 0;
    qint64 FBig = 0;
    bool FVisible = true;
    double FRatio = 0;
    float FScale = 0;
    QString FCaption;
    QByteArray FData;
    QStringList FTags;
    TFuzzEnums::TFuzzKind FKind = TFuzzEnums::fkOne;
    TColor FColor = clWhite;
    Variant FValue;
    TFont* FFont;
    TStringList* FLines;
    TKVXVariables* FVariables;
    TKVXHighLights* FHighLights;
    TComponent* FLink = nullptr;
};

} // namespace fuzzform

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vorel;
    static const bool registered = [] {
        RegisterClass(&fuzzform::TFuzzControl::staticMetaObject);
        RegisterRecordClasses();
        return true;
    }();
    (void)registered;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The tree: what the binary reader accepts it writes back exactly.
    FormComponent tree;
    try {
        ReadFormAny(bytes, tree);
        // Writing is stable: what was written reads back to the same tree and
        // writes the same bytes again. (The input itself can differ from the
        // first writing where it was not canonical: a name that is not UTF-8,
        // an empty prefix byte.)
        const QByteArray written = WriteFormBinary(tree);
        FormComponent again;
        ReadFormBinary(written, again);
        if (!(again == tree) || WriteFormBinary(again) != written)
            std::abort();
        FormComponent fromText;
        ReadFormText(WriteFormText(tree), fromText);
    } catch (const EKVXError&) {
    }

    // The objects: whatever loads must save again.
    fuzzform::TFuzzControl root;
    try {
        LoadComponent(bytes, &root);
    } catch (const EKVXError&) {
    }
    try {
        SaveComponentBinary(&root);
        SaveComponentText(&root);
    } catch (const EKVXError&) {
    }
    return 0;
}

#include "form_fuzz.moc"
