#pragma once

#include "pipeline/vexlinview.h"

#include <QString>
#include <QWidget>

class QTextBrowser;

// The small semi-transparent window that follows the mouse over the bytes of
// a packet and shows the values of the byte under it, rendered as HTML from
// the protocol style sheet. It never takes the focus or mouse input, and its
// white pixels are see-through.
class TformDuradiDarozavi_InstInfoBox : public QWidget, public TVexlinInfoWindow {
  Q_OBJECT

public:
  explicit TformDuradiDarozavi_InstInfoBox(QWidget *parent = nullptr);

  // Transforms every element with "pt_protocol.xsl" of the data folder (read
  // on every call, so an edited style sheet shows at once), styles the result
  // with "pt_protocol.css" and fits the height to it. Raises EPtError when
  // the style sheet cannot be loaded or a transform fails; the window is then
  // left as it was.
  void ShowInstInfo(const std::vector<TXmlElement> &Nodes) override;
  void ShowAt(QPoint globalTopLeft) override;
  void Hide() override;

  // The folder holding the style sheets, with a trailing slash; by default
  // "pt.files/" beside the executable. The page may use regular files in it
  // (images, imported style sheets), and no other file or URL.
  QString DataFolder() const { return fDataFolder; }
  void SetDataFolder(const QString &folder);

  QTextBrowser *Browser() const { return wb1; }

private:
  void LoadDocFromString(const QString &html, const QString &styleSheet);
  void UpdateTransparentMask();

  QString fDataFolder;
  QTextBrowser *wb1;
};
