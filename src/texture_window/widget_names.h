// Window controls carry the generic names the program gives them (Command1, Text1, Option1...)
// as their Qt object names, so that tests and scripts can find each control by its name.
#pragma once

#include <QLatin1String>
#include <QObject>
#include <QString>

namespace tintora {

// Sets widget's object name and returns the widget, for use right where it is created.
template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The same with a name made at run time ("Option1_2" for the third of a control array).
template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace tintora
