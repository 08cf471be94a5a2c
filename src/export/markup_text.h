#pragma once
// Escaping of texts for the markup writers. Both put characters that are
// not allowed in a document (C0 controls other than tab, line feed and
// carriage return; unpaired surrogate halves) out as U+FFFD, so a stray
// control character in a report never makes the output unreadable.

#include <QString>
#include <QStringView>

namespace vorel {

// XML: only the five XML entities (&amp; &lt; &gt; &quot; &apos;); tab,
// line feed and carriage return as character references so that attribute
// values keep them. The named HTML references ReplaceSystemChars writes
// (&deg and the like) are not XML.
QString XmlEscape(QStringView text);
// HTML: the references of ReplaceSystemChars, each with its closing
// semicolon; the apostrophe as &#39; (HTML 4 has no &apos;); the vertical
// line as it stands (&brvbar; is the broken bar, another character).
QString HtmlEscape(QStringView text);

} // namespace vorel
