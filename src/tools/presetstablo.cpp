#include "tools/presetstablo.h"

#include "base/pterror.h"
#include "tools/cmdline.h"
#include "widgets/language.h"
#include "widgets/messages.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr char kDefaultTablo[] = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
                                 "<tablo>\n"
                                 "  <item data=\"AT{0x0D}\"/>\n"
                                 "  <item data=\"Hello!{0x0D}\"/>\n"
                                 "  <item/>\n"
                                 "  <item/>\n"
                                 "</tablo>\n";

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
  lblIndex->setFixedWidth(17);
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
    : QWidget(parent, Qt::Tool), fSink(sink),
      fFileName((folder.endsWith(u'/') ? folder : folder + u'/') + QStringLiteral("pt.tablo.xml")),
      scrlbx1(new QScrollArea), btnAdd(new QPushButton(QStringLiteral("+"))) {
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
  if (!SaveTablo(&error) && !fKeepFile)
    fSink.ShowError(nullptr, QString(), error);
}

void TfPresetsTablo::LoadTablo() {
  if (QFile::exists(fFileName) && !xmlTablo1.Load(fFileName)) {
    // The user's table stays on disk untouched; this run works on the defaults.
    fKeepFile = true;
    fSink.ShowError(this, QString(),
                    QStringLiteral("\"%1\": %2").arg(fFileName, xmlTablo1.ErrorText()));
  }
  if (!xmlTablo1.IsActive())
    xmlTablo1.LoadFromMemory(QByteArray(kDefaultTablo));
  for (const TXmlElement &node : xmlTablo1.DocumentElement().ChildElements())
    AddTabloItem(node);
}

bool TfPresetsTablo::SaveTablo(QString *error) {
  if (fKeepFile) {
    if (error)
      *error = QStringLiteral("\"%1\" se nepodařilo načíst, zůstává beze změny.").arg(fFileName);
    return false;
  }
  if (!xmlTablo1.Save(fFileName)) {
    if (error)
      *error = QStringLiteral("\"%1\": %2").arg(fFileName, xmlTablo1.ErrorText());
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
