#include "app/FontSubstitutes.h"

#include <QFont>

namespace vornak::app {

QStringList fontSubstitutes(const QString& family) {
    // Tahoma comes with Windows and with Wine; the rest are common sans faces.
    if (family == QStringLiteral("Verdana"))
        return {QStringLiteral("Tahoma"), QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                QStringLiteral("Liberation Sans")};
    if (family == QStringLiteral("Arial"))
        return {QStringLiteral("Liberation Sans"), QStringLiteral("Tahoma"),
                QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans")};
    return {};
}

void addFontSubstitutes() {
    for (const QString family : {QStringLiteral("Verdana"), QStringLiteral("Arial")})
        QFont::insertSubstitutions(family, fontSubstitutes(family));
}

}  // namespace vornak::app
