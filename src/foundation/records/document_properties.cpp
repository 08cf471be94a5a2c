#include "foundation/records/document_properties.h"

namespace vorel {

TKVProperty::TKVProperty(QObject* owner) : TPersistent(owner), FComments(new TStringList(this)) {}

void TKVProperty::SetComments(const TStringList* value)
{
    if (value == FComments)
        return;
    if (value)
        FComments->Assign(value);
    else
        FComments->Clear();
}

bool TKVProperty::IsEmpty() const
{
    return FAuthor.isEmpty() && FTitle.isEmpty() && FSubject.isEmpty() && FKeywords.isEmpty() && FComments->Count() == 0;
}

void TKVProperty::Assign(const TPersistent* source)
{
    const auto* other = qobject_cast<const TKVProperty*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FAuthor = other->FAuthor;
    FTitle = other->FTitle;
    FSubject = other->FSubject;
    FKeywords = other->FKeywords;
    FComments->Assign(other->FComments);
}

} // namespace vorel
