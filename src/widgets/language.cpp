#include "widgets/language.h"

#include "base/fileio.h"
#include "base/pterror.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTreeWidget>

const char kLanguageNamespace[] = "http://www.pelmarterminal.org/xml/2008/language";

namespace {

// The language generation a window was last translated with.
constexpr char kTranslatedWith[] = "ptLanguageGeneration";

void MarkTranslated(QWidget *form, int generation) {
  form->setProperty(kTranslatedWith, generation);
}

TXmlElement ChildByLocalName(const TXmlElement &parent, const QString &name,
                             Qt::CaseSensitivity cs) {
  for (const TXmlElement &child : parent.ChildElements())
    if (child.LocalName().compare(name, cs) == 0)
      return child;
  return {};
}

// Tells windows, and through them their controls, that the language changed
// (QEvent::LanguageChange) when it goes out of scope.
struct TAnnounceLanguage {
  const QList<QWidget *> &windows;
  ~TAnnounceLanguage() {
    for (QWidget *window : windows) {
      QEvent changed(QEvent::LanguageChange);
      QCoreApplication::sendEvent(window, &changed);
    }
  }
};

QString AttributeOr(const TXmlElement &element, const char *name, const QString &fallback) {
  bool found = false;
  const QString value = element.Attribute(QLatin1String(name), &found);
  return found ? value : fallback;
}

// The tab control whose page `widget` is, with the page's position.
QTabWidget *TabOfPage(QWidget *widget, int *index) {
  auto *stack = qobject_cast<QStackedWidget *>(widget->parentWidget());
  auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
  if (tabs)
    *index = tabs->indexOf(widget);
  return tabs && *index >= 0 ? tabs : nullptr;
}

// A property named in a file: Qt's spelling starts lower case, but any
// letter case is accepted.
bool SetQtProperty(QObject *component, const QString &name, const QString &value) {
  const QMetaObject *meta = component->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i) {
    QMetaProperty property = meta->property(i);
    if (QString::fromLatin1(property.name()).compare(name, Qt::CaseInsensitive) != 0)
      continue;
    QVariant converted(value);
    if (!property.isWritable() || !converted.convert(property.metaType()))
      return false;
    return property.write(component, converted);
  }
  return false;
}

bool HasProperty(const QObject *component, const char *name) {
  return component->metaObject()->indexOfProperty(name) >= 0;
}

// A menu's or box's title, a tab page's tab text, a window's title, else
// the component's text or title; a widget with neither (a page off its tab
// control) keeps it as its window title, so it can be put back with it.
bool SetCaption(QObject *component, const QString &value) {
  if (auto *menu = qobject_cast<QMenu *>(component)) {
    menu->setTitle(value);
    return true;
  }
  if (auto *box = qobject_cast<QGroupBox *>(component)) {
    box->setTitle(value);
    return true;
  }
  auto *widget = qobject_cast<QWidget *>(component);
  int index = -1;
  if (widget && (widget->isWindow() || TabOfPage(widget, &index))) {
    if (QTabWidget *tabs = TabOfPage(widget, &index))
      tabs->setTabText(index, value);
    widget->setWindowTitle(value);
    return true;
  }
  if (SetQtProperty(component, QStringLiteral("text"), value) ||
      SetQtProperty(component, QStringLiteral("title"), value))
    return true;
  if (widget && !HasProperty(widget, "text") && !HasProperty(widget, "title")) {
    widget->setWindowTitle(value);
    return true;
  }
  return false;
}

QString Caption(const QObject *component) {
  if (auto *menu = qobject_cast<const QMenu *>(component))
    return menu->title();
  if (auto *box = qobject_cast<const QGroupBox *>(component))
    return box->title();
  auto *widget = qobject_cast<QWidget *>(const_cast<QObject *>(component));
  int index = -1;
  if (widget && !widget->isWindow())
    if (QTabWidget *tabs = TabOfPage(widget, &index))
      return tabs->tabText(index);
  if (widget &&
      (widget->isWindow() || (!HasProperty(widget, "text") && !HasProperty(widget, "title"))))
    return widget->windowTitle();
  return component->property(HasProperty(component, "text") ? "text" : "title").toString();
}

bool SetText(QObject *component, const QString &value) {
  if (auto *edit = qobject_cast<QPlainTextEdit *>(component)) {
    edit->setPlainText(value);
    return true;
  }
  if (auto *edit = qobject_cast<QTextEdit *>(component)) {
    edit->setPlainText(value);
    return true;
  }
  if (auto *combo = qobject_cast<QComboBox *>(component)) {
    if (combo->isEditable())
      combo->setEditText(value);
    else
      combo->setCurrentText(value);
    return true;
  }
  return SetCaption(component, value);
}

// Replaces the entries of a list-like control, keeping the selected position;
// for a table or tree the entries are its column headers.
void LoadStringList(QObject *component, const TXmlElement &items) {
  QStringList values;
  for (const TXmlElement &item : items.ChildElements())
    if (item.LocalName() == QLatin1String("item"))
      values << AttributeOr(item, "value", QStringLiteral("<Error In Lng File>"));
  if (auto *combo = qobject_cast<QComboBox *>(component)) {
    const int selected = combo->currentIndex();
    combo->clear();
    combo->addItems(values);
    if (selected < combo->count())
      combo->setCurrentIndex(selected);
  } else if (auto *list = qobject_cast<QListWidget *>(component)) {
    const int selected = list->currentRow();
    list->clear();
    list->addItems(values);
    if (selected < list->count())
      list->setCurrentRow(selected);
  } else if (auto *table = qobject_cast<QTableWidget *>(component)) {
    for (int c = 0; c < table->columnCount() && c < values.size(); ++c)
      if (QTableWidgetItem *header = table->horizontalHeaderItem(c))
        header->setText(values[c]);
  } else if (auto *tree = qobject_cast<QTreeWidget *>(component)) {
    for (int c = 0; c < tree->columnCount() && c < values.size(); ++c)
      tree->headerItem()->setText(c, values[c]);
  } else if (auto *box = qobject_cast<QGroupBox *>(component)) {
    // A radio group: its buttons keep their state, only their texts change.
    const QList<QRadioButton *> buttons = box->findChildren<QRadioButton *>();
    for (int i = 0; i < buttons.size() && i < values.size(); ++i)
      buttons[i]->setText(values[i]);
  }
}

// Every component of `owner` with the name: rows of a list repeat theirs.
QList<QObject *> OwnedComponents(QObject *owner, const QString &name) {
  QList<QObject *> found;
  const QList<QObject *> owned = owner->findChildren<QObject *>();
  for (QObject *child : owned)
    if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
      found << child;
  return found;
}

} // namespace

bool SetComponentProperty(QObject *component, const QString &name, const QString &value) {
  const QString key = name.toLower();
  if (key == QLatin1String("caption") || key == QLatin1String("title"))
    return SetCaption(component, value);
  if (key == QLatin1String("hint"))
    return SetQtProperty(component, QStringLiteral("toolTip"), value);
  if (key == QLatin1String("text"))
    return SetText(component, value);
  return SetQtProperty(component, name, value);
}

bool GetComponentProperty(const QObject *component, const QString &name, QString *value) {
  auto *object = const_cast<QObject *>(component);
  const QString key = name.toLower();
  if (key == QLatin1String("caption") || key == QLatin1String("title")) {
    *value = Caption(object);
    return true;
  }
  if (key == QLatin1String("hint")) {
    *value = object->property("toolTip").toString();
    return object->property("toolTip").isValid();
  }
  if (key == QLatin1String("text")) {
    if (auto *edit = qobject_cast<QPlainTextEdit *>(object))
      *value = edit->toPlainText();
    else if (auto *edit = qobject_cast<QTextEdit *>(object))
      *value = edit->toPlainText();
    else if (auto *combo = qobject_cast<QComboBox *>(object))
      *value = combo->currentText();
    else
      *value = Caption(object);
    return true;
  }
  const QMetaObject *meta = object->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i)
    if (QString::fromLatin1(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0) {
      *value = meta->property(i).read(object).toString();
      return true;
    }
  return false;
}

QStringList ComponentItems(const QObject *component) {
  QStringList values;
  if (auto *combo = qobject_cast<const QComboBox *>(component)) {
    for (int i = 0; i < combo->count(); ++i)
      values << combo->itemText(i);
  } else if (auto *list = qobject_cast<const QListWidget *>(component)) {
    for (int i = 0; i < list->count(); ++i)
      values << list->item(i)->text();
  } else if (auto *table = qobject_cast<const QTableWidget *>(component)) {
    for (int c = 0; c < table->columnCount(); ++c)
      values << (table->horizontalHeaderItem(c) ? table->horizontalHeaderItem(c)->text()
                                                : QString());
  } else if (auto *tree = qobject_cast<const QTreeWidget *>(component)) {
    for (int c = 0; c < tree->columnCount(); ++c)
      values << tree->headerItem()->text(c);
  } else if (auto *box = qobject_cast<const QGroupBox *>(component)) {
    for (const QRadioButton *button : box->findChildren<QRadioButton *>())
      values << button->text();
  }
  return values;
}

// --- TLanguageItem -----------------------------------------------------------

std::unique_ptr<TLanguageItem> TLanguageItem::CheckAndLoadLngFile(const QString &fileName) {
  if (!QFileInfo(fileName).isFile())
    return nullptr;
  auto item = std::make_unique<TLanguageItem>();
  item->fFileName = fileName;
  if (!item->XML.Load(fileName) ||
      item->XML.DocumentElement().NamespaceURI() != QLatin1String(kLanguageNamespace))
    return nullptr;
  item->fLngNode =
      ChildByLocalName(item->XML.DocumentElement(), QStringLiteral("language"), Qt::CaseSensitive);
  return item;
}

QString TLanguageItem::LngName() const {
  return AttributeOr(fLngNode, "name", QStringLiteral("?"));
}

QString TLanguageItem::FlagName() const {
  return AttributeOr(fLngNode, "flag", QStringLiteral("?"));
}

// --- TLanguage ---------------------------------------------------------------

namespace {

const TLanguage *gCurrentLanguage = nullptr;

} // namespace

void SetCurrentLanguage(const TLanguage *language) {
  gCurrentLanguage = language;
  InstallLanguageTexts(language ? language->Texts() : nullptr);
}

void TranslateNewPart(QWidget *part) {
  if (gCurrentLanguage && part)
    gCurrentLanguage->RewritePart(part->window(), part);
}

TLanguage::~TLanguage() {
  if (gCurrentLanguage == this)
    SetCurrentLanguage(nullptr);
}

int TLanguage::RefreshLanguages(const QString &filePathMask) {
  QString mask = filePathMask;
  if (mask.isEmpty())
    mask = QCoreApplication::applicationDirPath() + QStringLiteral("/*lng.xml");
  const QFileInfo info(mask);
  const QDir folder = info.dir();
  // Sorted by name, so the menu keeps its order whatever the file system does.
  QStringList files;
  for (const QString &name : folder.entryList({info.fileName()}, QDir::Files, QDir::Name))
    files << folder.filePath(name);
  return RefreshLanguages(files);
}

int TLanguage::RefreshLanguages(const QStringList &files) {
  FLanguages.clear();
  for (const QString &file : files)
    if (auto item = TLanguageItem::CheckAndLoadLngFile(file))
      FLanguages.push_back(std::move(item));
  return int(FLanguages.size());
}

void TLanguage::LoadLngFile(const QString &fileName) {
  QString path = fileName;
  if (path.startsWith(u'\\'))
    path = QCoreApplication::applicationDirPath() + u'/' + path.mid(1);
  if (!QFileInfo(path).isFile())
    throw EPtError(QStringLiteral("Language file:\"%1\" not found!").arg(path));
  auto document = std::make_unique<TXmlDocument>();
  if (!document->Load(path))
    throw EPtError(FileErrorText(path, document->ErrorText()));
  XML = std::move(document);
  fFileName = QFileInfo(path).absoluteFilePath();
  ++fGeneration;
  fTexts = ReadLanguageTexts(XML->DocumentElement());
  if (gCurrentLanguage == this)
    InstallLanguageTexts(fTexts);
  const QList<QWidget *> windows = QApplication::topLevelWidgets();
  // Every window now has its turn here, also when this file fails on it.
  for (QWidget *window : windows)
    MarkTranslated(window, fGeneration);
  // Texts a window puts together (a version line) rather than names are put
  // together again, also after a failure below.
  const TAnnounceLanguage announce{windows};

  for (const TXmlElement &forms : LanguageNode().ChildElements()) {
    if (forms.LocalName().toUpper() != QLatin1String("FORMS"))
      continue;
    // The application: its attributes set its own properties, its children
    // name the open windows.
    for (const TXmlAttribute &attribute : forms.Attributes())
      if (!SetComponentProperty(qApp, attribute.Name, attribute.Value))
        Fail(forms, attribute.Name, QStringLiteral("no such property or value"));
    for (const TXmlElement &form : forms.ChildElements())
      for (QWidget *window : windows)
        if (window->objectName().compare(form.LocalName(), Qt::CaseInsensitive) == 0)
          BrowseComponent(window, form);
  }
}

void TLanguage::RewriteForm(QWidget *form) const {
  if (!form)
    return;
  MarkTranslated(form, fGeneration);
  const TXmlElement forms =
      ChildByLocalName(LanguageNode(), QStringLiteral("forms"), Qt::CaseSensitive);
  if (const TXmlElement element = ChildByLocalName(forms, form->objectName(), Qt::CaseInsensitive))
    BrowseComponent(form, element);
}

QString TLanguage::text(const QString &key, const QString &defaultValue) const {
  return fTexts ? fTexts->value(key, defaultValue) : defaultValue;
}

void TLanguage::RewritePart(QWidget *form, QWidget *part) const {
  if (!form || !part)
    return;
  const TXmlElement forms =
      ChildByLocalName(LanguageNode(), QStringLiteral("forms"), Qt::CaseSensitive);
  const TXmlElement element = ChildByLocalName(forms, form->objectName(), Qt::CaseInsensitive);
  // The window's own attributes stay with the window; its components'
  // elements reach those inside the part.
  for (const TXmlElement &child : element.ChildElements()) {
    if (child.LocalName() == QLatin1String("items"))
      continue;
    if (part->objectName().compare(child.LocalName(), Qt::CaseInsensitive) == 0)
      BrowseComponent(part, child);
    for (QObject *owned : OwnedComponents(part, child.LocalName()))
      BrowseComponent(owned, child);
  }
}

QString TLanguage::LngName() const {
  return AttributeOr(LanguageNode(), "name", QStringLiteral("language"));
}

QString TLanguage::FlagName() const {
  return AttributeOr(LanguageNode(), "flag", QString());
}

void TLanguage::BrowseComponent(QObject *component, const TXmlElement &element) const {
  if (!component || !element)
    return;
  if (const TXmlElement items =
          ChildByLocalName(element, QStringLiteral("items"), Qt::CaseSensitive))
    LoadStringList(component, items);
  for (const TXmlAttribute &attribute : element.Attributes())
    if (!SetComponentProperty(component, attribute.Name, attribute.Value))
      Fail(element, attribute.Name, QStringLiteral("no such property or value"));
  for (const TXmlElement &child : element.ChildElements())
    if (child.LocalName() != QLatin1String("items"))
      for (QObject *owned : OwnedComponents(component, child.LocalName()))
        BrowseComponent(owned, child);
}

TXmlElement TLanguage::LanguageNode() const {
  if (!XML)
    return {};
  return ChildByLocalName(XML->DocumentElement(), QStringLiteral("language"), Qt::CaseSensitive);
}

void TLanguage::Fail(const TXmlElement &element, const QString &attribute,
                     const QString &reason) const {
  throw EPtError(QStringLiteral("Language file \"%1\", element \"%2\", attribute \"%3\": %4")
                     .arg(fFileName, element.LocalName(), attribute, reason));
}

// --- TFormTranslator ---------------------------------------------------------

TFormTranslator::TFormTranslator(const TLanguage &language,
                                 std::function<void(const QString &)> onError, QObject *parent)
    : QObject(parent), fLanguage(language), fOnError(std::move(onError)) {
  qApp->installEventFilter(this);
}

TFormTranslator::~TFormTranslator() {
  qApp->removeEventFilter(this);
}

bool TFormTranslator::eventFilter(QObject *watched, QEvent *event) {
  // The show event comes before the window reaches the screen.
  if (event->type() == QEvent::Show && watched->isWidgetType() && fLanguage.Generation() > 0) {
    auto *form = static_cast<QWidget *>(watched);
    if (form->isWindow() && form->property(kTranslatedWith).toInt() != fLanguage.Generation()) {
      try {
        fLanguage.RewriteForm(form);
      } catch (const std::exception &error) {
        if (fOnError)
          fOnError(ExceptionText(error));
      }
    }
  }
  return QObject::eventFilter(watched, event);
}
