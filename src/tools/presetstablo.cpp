#include "tools/presetstablo.h"

#include "base/fileio.h"
#include "base/pterror.h"
#include "tools/cmdline.h"
#include "widgets/language.h"
#include "widgets/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

const QString kTabloFile = QStringLiteral("pt.tablo.xml");

constexpr char kDefaultTablo[] = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
                                 "<tablo>\n"
                                 "  <item data=\"AT{0x0D}\"/>\n"
                                 "  <item data=\"Hello!{0x0D}\"/>\n"
                                 "  <item/>\n"
                                 "  <item/>\n"
                                 "</tablo>\n";

// "pt.tablo.xml" gives "pt.tablo_001.xml", or the first number after it whose
// file does not exist yet.
QString UnusedNameBeside(const QString &fileName) {
  const QFileInfo info(fileName);
  const QString stem = info.path() + u'/' + info.completeBaseName() + u'_';
  const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
  for (int n = 1;; ++n) {
    const QString name = stem + QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')) + suffix;
    if (!QFileInfo::exists(name))
      return name;
  }
}

} // namespace

TfrmPresetTabloItem::TfrmPresetTabloItem(TMessageSink &sink, QWidget *parent)
    : QWidget(parent), edtCommandLine(new TPelmarCmdLine(this)), lblIndex(new QLabel(this)),
      btnSend(new QPushButton(QStringLiteral("Odeslat"), this)),
      btnRemove(new QPushButton(QStringLiteral("X"), this)), fSink(sink) {
  setObjectName(QStringLiteral("frmPresetTabloItem"));
  setFixedHeight(24);
  edtCommandLine->setObjectName(QStringLiteral("edtCommandLine"));
  lblIndex->setObjectName(QStringLiteral("lblIndex"));
  btnSend->setObjectName(QStringLiteral("btnSend"));
  btnRemove->setObjectName(QStringLiteral("btnRemove"));
  QFont font = edtCommandLine->font();
  font.setBold(true);
  edtCommandLine->setFont(font);
  // Three digits and the dot at the present font: every row's command
  // line starts at the same place, and "10." is not cut.
  lblIndex->setFixedWidth(
      qMax(17, lblIndex->fontMetrics().horizontalAdvance(QStringLiteral("999.")) +
                   2 * lblIndex->margin() + 2));
  lblIndex->setAlignment(Qt::AlignCenter);
  btnSend->setFixedWidth(75);
  btnSend->setEnabled(false);
  btnRemove->setFixedWidth(27);
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  row->addWidget(lblIndex);
  row->addWidget(edtCommandLine, 1);
  row->addWidget(btnSend);
  row->addWidget(btnRemove);
  connect(edtCommandLine, &QLineEdit::textChanged, this,
          &TfrmPresetTabloItem::edtCommandLineChange);
  connect(edtCommandLine, &TPelmarCmdLine::EnterPressed, this, &TfrmPresetTabloItem::btnSendClick);
  connect(btnSend, &QPushButton::clicked, this, &TfrmPresetTabloItem::btnSendClick);
  connect(btnRemove, &QPushButton::clicked, this, [this] { emit removeRequested(this); });
}

void TfrmPresetTabloItem::Setnode(const TXmlElement &Value) {
  Fnode = Value;
  edtCommandLine->setText(Value.Attribute(QStringLiteral("data")));
  edtCommandLineChange();
}

void TfrmPresetTabloItem::RefreshIndex(int position) {
  lblIndex->setText(QString::number(position + 1) + u'.');
}

void TfrmPresetTabloItem::edtCommandLineChange() {
  const QString text = edtCommandLine->text();
  try {
    SendPacketPrepared = PrepareCommandBytes(text, false);
  } catch (const std::exception &error) {
    // Typing goes on; the problem shows beside the row and the last good
    // bytes, text and button stay.
    fSink.ShowBalloon(edtCommandLine, InputErrorTitle(), ExceptionText(error));
    return;
  }
  fSink.ShowBalloon(edtCommandLine, QString(), QString());
  if (Fnode)
    Fnode.SetAttribute(QStringLiteral("data"), text);
  btnSend->setEnabled(!SendPacketPrepared.isEmpty());
}

void TfrmPresetTabloItem::btnSendClick() {
  if (fonDataSend)
    fonDataSend(SendPacketPrepared);
}

TfPresetsTablo::TfPresetsTablo(const QString &folder, TMessageSink &sink, QWidget *parent)
    : TfPresetsTablo(TDataFolders::Single(folder), sink, parent) {}

TfPresetsTablo::TfPresetsTablo(const TDataFolders &folders, TMessageSink &sink, QWidget *parent)
    : QWidget(parent, Qt::Tool), fSink(sink), fFileName(folders.WritePath(kTabloFile)),
      fReadFrom(folders.ReadPath(kTabloFile)), scrlbx1(new QScrollArea),
      btnAdd(new QPushButton(QStringLiteral("+"))) {
  setObjectName(QStringLiteral("fPresetsTablo"));
  setWindowTitle(QStringLiteral("Tablo příkazů"));
  resize(609, 227);
  scrlbx1->setObjectName(QStringLiteral("scrlbx1"));
  btnAdd->setObjectName(QStringLiteral("btnAdd"));
  auto *rows = new QWidget;
  fRowsLayout = new QVBoxLayout(rows);
  fRowsLayout->setContentsMargins(2, 2, 2, 2);
  fRowsLayout->setSpacing(2);
  fRowsLayout->addStretch(1);
  scrlbx1->setWidgetResizable(true);
  scrlbx1->setWidget(rows);
  auto *bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(btnAdd);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 4);
  layout->addWidget(scrlbx1, 1);
  layout->addLayout(bottom);
  connect(btnAdd, &QPushButton::clicked, this, &TfPresetsTablo::btnAddClick);
  LoadTablo();
}

TfPresetsTablo::~TfPresetsTablo() {
  QString error;
  if (!SaveTablo(&error))
    fSink.ShowError(nullptr, windowTitle(), error);
  else if (!fSavedAs.isEmpty())
    fSink.ShowError(
        nullptr, windowTitle(),
        LanguageText(QStringLiteral("TabloSavedBeside"),
                     QStringLiteral("Soubor \"%1\" se nepodařilo načíst a zůstal beze "
                                    "změny; úpravy tabla příkazů jsou uloženy v "
                                    "\"%2\"."))
            .arg(QDir::toNativeSeparators(fFileName), QDir::toNativeSeparators(fSavedAs)));
}

void TfPresetsTablo::LoadTablo() {
  if (QFile::exists(fReadFrom) && !xmlTablo1.Load(fReadFrom)) {
    // The user's table stays on disk untouched; this run works on the
    // defaults, and what it changes goes to a file of its own.
    fKeepFile = true;
    fSink.ShowError(this, windowTitle(),
                    LanguageText(QStringLiteral("TabloNotRead"),
                                 QStringLiteral("Tablo příkazů nelze načíst: %1\nSoubor zůstane "
                                                "beze změny; úpravy se při ukončení uloží do "
                                                "nového souboru vedle něj."))
                        .arg(FileErrorText(fReadFrom, xmlTablo1.ErrorText())));
  }
  if (!xmlTablo1.IsActive())
    xmlTablo1.LoadFromMemory(QByteArray(kDefaultTablo));
  for (const TXmlElement &node : xmlTablo1.DocumentElement().ChildElements())
    AddTabloItem(node);
  if (fKeepFile)
    fUnchangedBytes = xmlTablo1.SaveToBytes();
}

bool TfPresetsTablo::SaveTablo(QString *error) {
  QString target = fFileName;
  if (fKeepFile) {
    // Nothing of this run to keep: the defaults need no file of their own.
    if (fSavedAs.isEmpty() && xmlTablo1.SaveToBytes() == fUnchangedBytes)
      return true;
    if (fSavedAs.isEmpty())
      fSavedAs = UnusedNameBeside(fFileName);
    target = fSavedAs;
  }
  if (!xmlTablo1.Save(target)) {
    if (error)
      *error = FileErrorText(target, xmlTablo1.ErrorText());
    fSavedAs.clear();
    return false;
  }
  return true;
}

void TfPresetsTablo::SetOnDataSend(const TDataSendHandler &Handler) {
  fonDataSend = Handler;
  for (TfrmPresetTabloItem *row : fRows)
    row->fonDataSend = Handler;
}

void TfPresetsTablo::AddTabloItem(const TXmlElement &Node) {
  auto *row = new TfrmPresetTabloItem(fSink);
  row->fonDataSend = fonDataSend;
  fRowsLayout->insertWidget(fRowsLayout->count() - 1, row);
  // A row added after the window was translated speaks its language too.
  TranslateNewPart(row);
  fRows.append(row);
  row->RefreshIndex(int(fRows.size()) - 1);
  row->Setnode(Node);
  connect(row, &TfrmPresetTabloItem::removeRequested, this, &TfPresetsTablo::btnRemoveClick);
}

void TfPresetsTablo::btnAddClick() {
  AddTabloItem(xmlTablo1.DocumentElement().AddChild(QStringLiteral("item")));
}

void TfPresetsTablo::btnRemoveClick(TfrmPresetTabloItem *row) {
  if (TXmlElement parent = row->Fnode.Parent())
    parent.RemoveChild(row->Fnode);
  row->Fnode = TXmlElement();
  fRows.removeOne(row);
  // The row is inside its own click handler; it goes once that returns.
  row->hide();
  row->deleteLater();
  for (int i = 0; i < fRows.size(); ++i)
    fRows[i]->RefreshIndex(i);
}
