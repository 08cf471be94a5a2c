// The hooks report forms need from the stream core: properties written even
// at their defaults, nested objects compared with what the owner's context
// gives, and properties held back until the references are resolved.

#include "foundation/records/font.h"
#include "foundation/forms/form_objects.h"

#include <gtest/gtest.h>

namespace formhooks {

using namespace vorel;

class THookControl : public TComponent {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "Kind, Count")
    Q_PROPERTY(int Kind READ Kind WRITE SetKind)
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(int Other READ Other WRITE SetOther)
    Q_PROPERTY(vorel::TFont* Font READ Font)
    Q_PROPERTY(vorel::TComponent* Link READ Link WRITE SetLink)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
public:
    Q_INVOKABLE explicit THookControl(QObject* owner = nullptr) : TComponent(owner), FFont(new TFont(this)) {}
    int Kind() const { return FKind; }
    void SetKind(int v) { FKind = v; }
    int Count() const { return FCount; }
    void SetCount(int v) { FCount = v; }
    int Other() const { return FOther; }
    void SetOther(int v) { FOther = v; }
    TFont* Font() const { return FFont; }
    TComponent* Link() const { return FLink; }
    void SetLink(TComponent* v) { FLink = v; }
    bool Active() const { return FActive; }
    // Remembers whether the link was there when it was switched on.
    void SetActive(bool v)
    {
        FActive = v;
        LinkedWhenActivated = FLink != nullptr;
    }
    bool LinkedWhenActivated = false;

private:
    int FKind = 0;
    int FCount = 0;
    int FOther = 0;
    TFont* FFont;
    TComponent* FLink = nullptr;
    bool FActive = false;
};

// Names one more property of its own; the base class's still count.
class THookChild : public THookControl {
    Q_OBJECT
    Q_CLASSINFO("AlwaysStored", "Other")
public:
    Q_INVOKABLE explicit THookChild(QObject* owner = nullptr) : THookControl(owner) {}
};

} // namespace formhooks

namespace {

using namespace vorel;
using formhooks::THookChild;
using formhooks::THookControl;

QStringList Names(const FormComponent& c)
{
    QStringList names;
    for (const FormProperty& p : c.Properties)
        names << p.Name;
    return names;
}

class FormHooks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterClass(&THookControl::staticMetaObject);
        RegisterClass(&THookChild::staticMetaObject);
    }
};

TEST_F(FormHooks, AlwaysStoredPropertiesAreWrittenAtTheirDefaults)
{
    THookControl base;
    EXPECT_EQ(Names(ComponentToForm(&base)), QStringList({"Kind", "Count"}));
    THookChild child;
    EXPECT_EQ(Names(ComponentToForm(&child)), QStringList({"Kind", "Count", "Other"}));
}

TEST_F(FormHooks, NestedObjectsCompareWithTheOwnersContext)
{
    TFont context; // what the owner's constructor would give, e.g. a report's font
    context.SetName(QStringLiteral("Arial"));
    FormWriteOptions options;
    options.NestedDefault = [&](const QObject*, const QMetaProperty& prop) -> const QObject* {
        return qstrcmp(prop.name(), "Font") == 0 ? &context : nullptr;
    };
    THookControl control;
    control.Font()->SetName(QStringLiteral("Arial"));
    EXPECT_FALSE(Names(ComponentToForm(&control, options)).contains("Font.Name")) << "equal to the context";
    EXPECT_TRUE(Names(ComponentToForm(&control)).contains("Font.Name")) << "differs from the class's default";

    control.Font()->SetName(TFont().Name()); // back to the class's default: no longer the context's
    const FormComponent tree = ComponentToForm(&control, options);
    ASSERT_TRUE(Names(tree).contains("Font.Name"));
    EXPECT_FALSE(Names(ComponentToForm(&control)).contains("Font.Name"));
}

TEST_F(FormHooks, DeferredPropertiesWaitForTheReferences)
{
    // Active comes before the reference's target exists in the form.
    const QByteArray text = "object Root: THookControl\r\n"
                            "  object Detail: THookControl\r\n"
                            "    Link = Master\r\n"
                            "    Active = True\r\n"
                            "  end\r\n"
                            "  object Master: THookControl\r\n"
                            "  end\r\n"
                            "end\r\n";
    for (const bool defer : {false, true}) {
        THookControl root;
        FormReadOptions options;
        if (defer)
            options.DeferProperty = [](const QObject*, const QString& path) { return path == u"Active"; };
        LoadComponent(text, &root, options);
        auto* detail = qobject_cast<THookControl*>(root.FindComponent(QStringLiteral("Detail")));
        ASSERT_NE(detail, nullptr);
        EXPECT_TRUE(detail->Active());
        EXPECT_EQ(detail->LinkedWhenActivated, defer);
    }
    // A deferred value that does not fit still names its property and place.
    THookControl root;
    FormReadOptions options;
    options.DeferProperty = [](const QObject*, const QString& path) { return path == u"Active"; };
    QByteArray bad = text;
    bad.replace("Active = True", "Active = 'yes'");
    try {
        LoadComponent(bad, &root, options);
        ADD_FAILURE() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_TRUE(e.Message().startsWith(u"Error reading Detail.Active at line 4")) << e.Message().toStdString();
    }
}

} // namespace

#include "form_hooks_test.moc"
