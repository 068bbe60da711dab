#include "LangProps.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>

namespace vz {
namespace {

bool IsComponentName(const QString& name) {
  return !name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && name != QLatin1String("SubLabel");
}

// A window of its own below the form (a dialog parented to it) is another
// form; menus are windows too but belong to the form that owns them.
bool IsSeparateWindow(const QObject* obj) {
  const auto* w = qobject_cast<const QWidget*>(obj);
  return w && w->isWindow() && !qobject_cast<const QMenu*>(w);
}

void Collect(QObject* parent, QList<QObject*>* out) {
  for (QObject* child : parent->children()) {
    if (IsSeparateWindow(child)) continue;
    if (IsComponentName(child->objectName())) out->append(child);
    Collect(child, out);
  }
}

QTabWidget* TabWidgetOfPage(const QWidget* page, int* index) {
  auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
  if (!stack) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  if (!tabs) return nullptr;
  *index = tabs->indexOf(const_cast<QWidget*>(page));
  return *index >= 0 ? tabs : nullptr;
}

QAbstractItemModel* HeaderModel(const QObject* obj) {
  if (!qobject_cast<const QTreeView*>(obj) && !qobject_cast<const QTableView*>(obj)) return nullptr;
  return static_cast<const QAbstractItemView*>(obj)->model();
}

// QAction::toolTip() falls back to the action's text; only an explicit tool
// tip is a hint.
QString ActionHint(const QAction* action) {
  const QString tip = action->toolTip();
  QString plain = action->text();
  plain.remove(QLatin1Char('&'));
  return (tip == plain || tip == action->text()) ? QString() : tip;
}

bool ReadCaption(const QObject* obj, QString* value) {
  if (const auto* a = qobject_cast<const QAction*>(obj)) {
    *value = a->isSeparator() ? QStringLiteral("-") : a->text();
    return true;
  }
  if (const auto* m = qobject_cast<const QMenu*>(obj)) {
    *value = m->title();
    return true;
  }
  if (const auto* b = qobject_cast<const QAbstractButton*>(obj)) {
    *value = b->text();
    return true;
  }
  if (const auto* l = qobject_cast<const QLabel*>(obj)) {
    *value = l->text();
    return true;
  }
  if (const auto* g = qobject_cast<const QGroupBox*>(obj)) {
    *value = g->title();
    return true;
  }
  if (const auto* d = qobject_cast<const QDockWidget*>(obj)) {
    *value = d->windowTitle();
    return true;
  }
  if (const auto* w = qobject_cast<const QWidget*>(obj)) {
    int index = -1;
    if (QTabWidget* tabs = TabWidgetOfPage(w, &index)) {
      *value = tabs->tabText(index);
      return true;
    }
  }
  return false;
}

void WriteCaption(QObject* obj, const QString& value) {
  if (auto* a = qobject_cast<QAction*>(obj)) {
    a->setText(value);
  } else if (auto* m = qobject_cast<QMenu*>(obj)) {
    m->setTitle(value);
  } else if (auto* b = qobject_cast<QAbstractButton*>(obj)) {
    b->setText(value);
  } else if (auto* l = qobject_cast<QLabel*>(obj)) {
    l->setText(value);
  } else if (auto* g = qobject_cast<QGroupBox*>(obj)) {
    g->setTitle(value);
  } else if (auto* d = qobject_cast<QDockWidget*>(obj)) {
    d->setWindowTitle(value);
  } else if (auto* w = qobject_cast<QWidget*>(obj)) {
    int index = -1;
    if (QTabWidget* tabs = TabWidgetOfPage(w, &index)) tabs->setTabText(index, value);
  }
}

}  // namespace

QList<QObject*> LangComponents(QWidget* form) {
  QList<QObject*> out;
  if (form) Collect(form, &out);
  return out;
}

bool ReadLangProp(const QObject* obj, TLangProp prop, QString* value) {
  if (prop == TLangProp::Caption) return ReadCaption(obj, value);
  if (const auto* a = qobject_cast<const QAction*>(obj)) {
    *value = ActionHint(a);
    return true;
  }
  if (const auto* w = qobject_cast<const QWidget*>(obj)) {
    *value = w->toolTip();
    return true;
  }
  return false;
}

void WriteLangProp(QObject* obj, TLangProp prop, const QString& value) {
  if (prop == TLangProp::Caption) {
    WriteCaption(obj, value);
  } else if (auto* a = qobject_cast<QAction*>(obj)) {
    a->setToolTip(value);
  } else if (auto* w = qobject_cast<QWidget*>(obj)) {
    w->setToolTip(value);
  }
}

int LangColumnCount(const QObject* obj) {
  const QAbstractItemModel* model = HeaderModel(obj);
  return model ? model->columnCount() : -1;
}

QString ReadLangColumn(const QObject* obj, int column) {
  const QAbstractItemModel* model = HeaderModel(obj);
  return model ? model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString() : QString();
}

void WriteLangColumn(QObject* obj, int column, const QString& value) {
  if (QAbstractItemModel* model = HeaderModel(obj)) model->setHeaderData(column, Qt::Horizontal, value, Qt::DisplayRole);
}

QLabel* LangSubLabel(QWidget* form, const QObject* obj) {
  const auto* control = qobject_cast<const QWidget*>(obj);
  if (!control || qobject_cast<const QLabel*>(control)) return nullptr;
  QString ownCaption;
  if (ReadCaption(obj, &ownCaption)) return nullptr;
  if (auto* sub = control->findChild<QLabel*>(QStringLiteral("SubLabel"), Qt::FindDirectChildrenOnly)) return sub;
  if (!form) return nullptr;
  const QList<QLabel*> labels = form->findChildren<QLabel*>();
  for (QLabel* label : labels) {
    if (label->buddy() == control) return label;
  }
  return nullptr;
}

QString LangFormSection(const QObject* form) {
  if (!form) return {};
  const QString name = QString::fromLatin1(form->metaObject()->className());
  const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
  return colon < 0 ? name : name.mid(colon + 1);
}

const char* LangPropName(TLangProp prop) { return prop == TLangProp::Caption ? "Caption" : "Hint"; }

}  // namespace vz
