#pragma once
// How a language file's keys map onto Qt widgets. A form's components are its
// named descendants; the texts a key can reach are:
//   name.Caption  the visible text: button, label, check box, group box title,
//                 action, menu title, tab page title, dock window title;
//   name.Hint     the tool tip of a widget or an action;
//   name.Columns[i].Caption  header section i of a tree or table view;
//   name.Caption  for a control without a caption of its own, the text of its
//                 label: a child QLabel named "SubLabel", or a QLabel of the
//                 form whose buddy it is.
// Objects without a name, Qt's internal "qt_*" children, "SubLabel"s and
// separate windows below the form (dialogs parented to it, with their own
// texts) are no components of the form.
#include <QList>
#include <QString>

class QObject;
class QWidget;
class QLabel;

namespace vz {

enum class TLangProp { Caption, Hint };

// The form's components in creation order (depth first, children in order).
QList<QObject*> LangComponents(QWidget* form);

// False when the object has no such text.
bool ReadLangProp(const QObject* obj, TLangProp prop, QString* value);
void WriteLangProp(QObject* obj, TLangProp prop, const QString& value);

// Header sections of a tree or table view; -1 for anything else.
int LangColumnCount(const QObject* obj);
QString ReadLangColumn(const QObject* obj, int column);
void WriteLangColumn(QObject* obj, int column, const QString& value);

// The label attached to a control that has no caption of its own, or null.
QLabel* LangSubLabel(QWidget* form, const QObject* obj);

// The section of a form: its class name without namespaces ("TFMain" for
// vz::TFMain), so forms need Q_OBJECT for a section of their own.
QString LangFormSection(const QObject* form);

// Key name of a property: "Caption" or "Hint".
const char* LangPropName(TLangProp prop);

}  // namespace vz
