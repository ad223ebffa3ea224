// Arbitrary bytes through the XML loader; whatever loads must be walkable and
// must survive a save and reload unchanged.
#include "base/pterror.h"
#include "base/xmldoc.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// libxml2 writes namespace URIs without escaping white space, which the
// reader then normalises to spaces; URIs holding such characters are not real.
QString NormalisedUri(QString uri) {
  uri.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  for (const char c : {'\r', '\n', '\t'})
    uri.replace(QLatin1Char(c), QLatin1Char(' '));
  return uri;
}

// Indenting on save adds white space around child elements, comments and
// processing instructions; the text compared is what remains without it.
QString WithoutSpace(const QString &text) {
  QString out;
  for (const QChar c : text) {
    if (!c.isSpace())
      out += c;
  }
  return out;
}

// Element names, attributes and the text of leaf elements in document order.
QStringList Describe(const TXmlDocument &doc) {
  QStringList out;
  std::vector<TXmlElement> stack{doc.DocumentElement()};
  while (!stack.empty()) {
    const TXmlElement e = stack.back();
    stack.pop_back();
    out << e.Name() + QLatin1Char('|') + NormalisedUri(e.NamespaceURI());
    for (const TXmlAttribute &a : e.Attributes()) {
      bool found = false;
      const QString value = e.Attribute(a.Name, &found);
      // The first attribute of a name wins a lookup; duplicates cannot occur.
      if (!found || value != a.Value)
        std::abort();
      out << QStringLiteral("@") + a.Name + QLatin1Char('=') + a.Value;
    }
    const QList<TXmlElement> children = e.ChildElements();
    if (children.isEmpty())
      out << QStringLiteral("#") + WithoutSpace(e.Text());
    for (qsizetype i = children.size() - 1; i >= 0; --i) {
      if (children[i].Parent() != e)
        std::abort();
      stack.push_back(children[i]);
    }
  }
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TXmlDocument doc;
  const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  if (!doc.LoadFromMemory(bytes)) {
    if (doc.ErrorText().isEmpty() || doc.IsActive())
      std::abort();
    return 0;
  }
  const QStringList original = Describe(doc);

  for (const char *encoding : {"UTF-8", "windows-1250"}) {
    const QByteArray saved = doc.SaveToBytes(encoding);
    if (saved.isEmpty()) {
      // A save may only be refused because the result would not load again.
      if (!doc.ErrorText().contains(QStringLiteral("without damage")))
        std::abort();
      continue;
    }
    TXmlDocument again;
    if (!again.LoadFromMemory(saved) || Describe(again) != original)
      std::abort();
  }

  // Editing must keep the document saveable.
  TXmlElement root = doc.DocumentElement();
  try {
    root.SetAttribute(QStringLiteral("fuzz"), QString::fromUtf8(bytes.left(64)));
    root.AddChild(QStringLiteral("added")).SetText(QString::fromUtf8(bytes.left(64)));
  } catch (const EPtError &) {
    // A prefixed root may not declare a default namespace; nothing else fails.
  }
  const QByteArray edited = doc.SaveToBytes("UTF-8");
  TXmlDocument again;
  if (edited.isEmpty() ? !doc.ErrorText().contains(QStringLiteral("without damage"))
                       : !again.LoadFromMemory(edited))
    std::abort();
  return 0;
}
