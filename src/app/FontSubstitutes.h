// The windows are designed in Verdana (the splash screen's label in Arial). A
// system without them (Wine has neither) would otherwise draw every text in
// its default face, a serif one under Wine.
#pragma once

#include <QStringList>

namespace vornak::app {

// The faces tried, in this order, for a design font the system lacks.
QStringList fontSubstitutes(const QString& family);

// Makes Qt try those faces wherever a design font is missing.
void addFontSubstitutes();

}  // namespace vornak::app
