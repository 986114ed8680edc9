// Texts cross into Qt only at the widget boundary: program texts are UTF-8
// bytes, and line breaks written as LF CR (or CR LF, or a lone CR) become one
// line feed, which is what Qt's widgets break lines at.
#pragma once

#include <QString>
#include <string>

namespace vornak::app {

inline QString toQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string fromQt(const QString& text) { return text.toStdString(); }

inline QString toDisplayText(const std::string& text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    const QString in = QString::fromStdString(text);
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in[i];
        if (c == u'\n' || c == u'\r') {
            // A pair of different break characters is one break.
            if (i + 1 < in.size() && (in[i + 1] == u'\n' || in[i + 1] == u'\r') && in[i + 1] != c)
                ++i;
            out += u'\n';
        } else {
            out += c;
        }
    }
    return out;
}

// A caption as a label shows it: "&x" marks an access key and is drawn as x,
// "&&" is one ampersand.
inline QString labelText(const std::string& caption) {
    const QString in = toDisplayText(caption);
    QString out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == u'&') {
            if (i + 1 < in.size() && in[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += in[i];
    }
    return out;
}

}  // namespace vornak::app
