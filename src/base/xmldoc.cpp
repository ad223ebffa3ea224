#include "base/xmldoc.h"

#include "base/fileio.h"
#include "base/pterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <libexslt/exslt.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Never expand entities (no XML_PARSE_NOENT), never load a DTD, never touch
// the network; report errors to us instead of stderr.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;

// Options libxslt may ask for when it loads documents itself; none of these
// is honoured.
constexpr int kRefusedOptions = XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_DTDATTR |
                                XML_PARSE_DTDVALID | XML_PARSE_XINCLUDE | XML_PARSE_HUGE;

// libxml2 parses at most INT_MAX bytes from memory.
constexpr qint64 kMaxFileBytes = INT_MAX;

// ---- error capture ---------------------------------------------------------

// Collects the messages libxml2 and libxslt report while one operation runs
// on this thread. libxml2's handlers are per thread already; libxslt's generic
// handler is process-wide, so it forwards to the collector of the calling
// thread.
class TErrorCapture;
thread_local TErrorCapture *tlsCapture = nullptr;

class TErrorCapture {
public:
  TErrorCapture()
      : fPrevious(tlsCapture), fOldStructured(xmlStructuredError),
        fOldStructuredContext(xmlStructuredErrorContext), fOldGeneric(xmlGenericError),
        fOldGenericContext(xmlGenericErrorContext) {
    tlsCapture = this;
    xmlSetStructuredErrorFunc(nullptr, &TErrorCapture::OnStructured);
    xmlSetGenericErrorFunc(nullptr, &TErrorCapture::OnGeneric);
  }
  ~TErrorCapture() {
    xmlSetStructuredErrorFunc(fOldStructuredContext, fOldStructured);
    xmlSetGenericErrorFunc(fOldGenericContext, fOldGeneric);
    tlsCapture = fPrevious;
  }
  TErrorCapture(const TErrorCapture &) = delete;
  TErrorCapture &operator=(const TErrorCapture &) = delete;

  // The first message: later ones are usually consequences of it.
  QString First() const { return Lines().value(0); }
  QString All() const { return Lines().join(QLatin1Char('\n')); }

  static void OnStructured(void *, xmlErrorPtr error) {
    if (tlsCapture == nullptr || error == nullptr)
      return;
    try {
      QString message = QString::fromUtf8(error->message ? error->message : "").trimmed();
      if (message.isEmpty())
        message = QStringLiteral("XML error %1").arg(error->code);
      if (error->line > 0)
        message = QStringLiteral("line %1: %2").arg(error->line).arg(message);
      tlsCapture->Add(message + QLatin1Char('\n'));
    } catch (...) {
      // Nothing may unwind through the C library.
    }
  }

  static void OnGeneric(void *, const char *format, ...) {
    va_list args;
    va_start(args, format);
    Append(format, args);
    va_end(args);
  }

  static void Append(const char *format, va_list args) {
    if (tlsCapture == nullptr || format == nullptr)
      return;
    try {
      va_list copy;
      va_copy(copy, args);
      const int length = std::vsnprintf(nullptr, 0, format, copy);
      va_end(copy);
      if (length <= 0)
        return;
      QByteArray buffer(length + 1, Qt::Uninitialized);
      std::vsnprintf(buffer.data(), static_cast<size_t>(length) + 1, format, args);
      buffer.truncate(length);
      tlsCapture->Add(QString::fromUtf8(buffer));
    } catch (...) {
    }
  }

private:
  // A broken document can produce a flood of messages; the first ones tell.
  void Add(const QString &text) {
    if (fText.size() < 16384)
      fText += text;
  }

  QStringList Lines() const {
    QStringList lines;
    for (const QString &line : fText.split(QLatin1Char('\n'))) {
      const QString trimmed = line.trimmed();
      if (!trimmed.isEmpty())
        lines << trimmed;
    }
    return lines;
  }

  QString fText;
  TErrorCapture *fPrevious;
  xmlStructuredErrorFunc fOldStructured;
  void *fOldStructuredContext;
  xmlGenericErrorFunc fOldGeneric;
  void *fOldGenericContext;
};

void OnXsltError(void *, const char *format, ...) {
  va_list args;
  va_start(args, format);
  TErrorCapture::Append(format, args);
  va_end(args);
}

// ---- library set-up --------------------------------------------------------

const char *Chars(const xmlChar *s) {
  return reinterpret_cast<const char *>(s);
}

xmlDocPtr SafeDocLoader(const xmlChar *uri, xmlDictPtr dict, int options, void *, xsltLoadType);

void EnsureInit() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    exsltRegisterAll();
    xsltSetGenericErrorFunc(nullptr, &OnXsltError);
    xsltSetLoaderFunc(&SafeDocLoader);
    // Style sheets may read local files (xsl:include, document()) but may
    // neither write anything nor reach the network. Every transformation
    // context starts with these preferences.
    xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
    xsltSetDefaultSecurityPrefs(prefs);
  });
}

xsltSecurityPrefsPtr SecurityPrefs() {
  return xsltGetDefaultSecurityPrefs();
}

struct TParserCtxtDeleter {
  void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using TParserCtxt = std::unique_ptr<xmlParserCtxt, TParserCtxtDeleter>;

struct TDocDeleter {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using TDocHolder = std::unique_ptr<xmlDoc, TDocDeleter>;

// The local file a URI libxslt resolved names; empty for other schemes.
QString LocalFileOfUri(const char *uri) {
  const QString text = QString::fromUtf8(uri);
  const QUrl url(text);
  if (url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0)
    return url.toLocalFile();
  if (!url.scheme().isEmpty())
    return QString();
  // A resolved path may come percent-encoded.
  if (!QFileInfo::exists(text) && text.contains(QLatin1Char('%')))
    return QUrl::fromPercentEncoding(text.toUtf8());
  return text;
}

// No file of the program needs a DTD, and an internal subset is where
// entities are declared: libxml2 substitutes internal entities inside
// attribute values whatever the options say, so one large entity referenced
// many times would make a small file huge in memory. A document type
// declaration therefore ends the parse before its subset is read.
void StopAtDoctype(void *context, const xmlChar *, const xmlChar *, const xmlChar *) {
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Makes the parser refuse any DOCTYPE; the context's errNo then tells why.
void RefuseDoctype(xmlParserCtxtPtr ctxt) {
  ctxt->sax->internalSubset = &StopAtDoctype;
}

bool StoppedAtDoctype(xmlParserCtxtPtr ctxt) {
  return ctxt->errNo == XML_ERR_USER_STOP;
}

constexpr const char *kDoctypeRefused =
    "The document declares a document type (<!DOCTYPE>); DTDs and entity declarations are not "
    "accepted.";

// Documents libxslt loads on its own are parsed with our options instead of
// its defaults (which expand entities and load DTDs, possibly over the
// network), and read only from regular files: document('/dev/zero') or a
// FIFO would never end.
xmlDocPtr SafeDocLoader(const xmlChar *uri, xmlDictPtr dict, int options, void *, xsltLoadType) {
  if (uri == nullptr)
    return nullptr;
  QByteArray bytes;
  try {
    const QString fileName = LocalFileOfUri(Chars(uri));
    if (fileName.isEmpty() || !ReadRegularFile(fileName, kMaxFileBytes, bytes))
      return nullptr;
  } catch (...) {
    return nullptr; // nothing may unwind through the C library
  }
  TParserCtxt ctxt(xmlNewParserCtxt());
  if (!ctxt)
    return nullptr;
  if (dict != nullptr) {
    // libxslt needs the document to share the style sheet's dictionary.
    if (ctxt->dict != nullptr)
      xmlDictFree(ctxt->dict);
    ctxt->dict = dict;
    xmlDictReference(dict);
  }
  RefuseDoctype(ctxt.get());
  const int safe = (options & ~kRefusedOptions) | kParseOptions;
  xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), bytes.constData(), static_cast<int>(bytes.size()),
                                    Chars(uri), nullptr, safe);
  if (doc != nullptr && !ctxt->wellFormed) {
    xmlFreeDoc(doc);
    return nullptr;
  }
  return doc;
}

// ---- text helpers ----------------------------------------------------------

const xmlChar *XmlChars(const QByteArray &s) {
  return reinterpret_cast<const xmlChar *>(s.constData());
}

QString FromXml(const xmlChar *s) {
  return s ? QString::fromUtf8(Chars(s)) : QString();
}

// Takes ownership of a string libxml2 allocated.
QString FromOwnedXml(xmlChar *s) {
  QString result = FromXml(s);
  xmlFree(s);
  return result;
}

constexpr bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// UTF-8 for libxml2, with characters XML 1.0 cannot carry replaced: libxml2
// would otherwise write them as references no parser accepts, or drop text.
QByteArray ToXmlText(const QString &text) {
  const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
  const qsizetype n = text.size();
  bool clean = true;
  for (qsizetype i = 0; i < n && clean; ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
      ++i;
    else
      clean = IsXmlChar(c);
  }
  if (clean)
    return text.toUtf8();
  QString fixed;
  fixed.reserve(n);
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      fixed += QChar(c);
      fixed += QChar(s[++i]);
    } else {
      fixed += IsXmlChar(c) ? QChar(c) : QChar(0xFFFD);
    }
  }
  return fixed.toUtf8();
}

// Splits "prefix:local"; raises for anything that is not a valid XML name.
void SplitQName(const QString &name, QByteArray &prefix, QByteArray &local) {
  const QByteArray utf8 = name.toUtf8();
  if (name.isEmpty() || xmlValidateQName(XmlChars(utf8), 0) != 0)
    throw EPtError(QStringLiteral("\"%1\" is not a valid XML name.").arg(name));
  const qsizetype colon = utf8.indexOf(':');
  if (colon < 0) {
    prefix.clear();
    local = utf8;
  } else {
    prefix = utf8.left(colon);
    local = utf8.mid(colon + 1);
  }
}

xmlNsPtr FindPrefix(xmlNodePtr node, const QByteArray &prefix, const QString &name) {
  xmlNsPtr ns = xmlSearchNs(node->doc, node, XmlChars(prefix));
  if (ns == nullptr)
    throw EPtError(QStringLiteral("The namespace prefix of \"%1\" is not declared.").arg(name));
  return ns;
}

bool NameMatches(const xmlChar *local, const xmlNs *ns, const QByteArray &qname) {
  if (local == nullptr)
    return false;
  const char *l = Chars(local);
  if (ns == nullptr || ns->prefix == nullptr)
    return qname == l;
  const char *p = Chars(ns->prefix);
  const qsizetype pl = static_cast<qsizetype>(std::strlen(p));
  return qname.size() > pl && qname.startsWith(QByteArrayView(p, pl)) && qname.at(pl) == ':' &&
         qname.sliced(pl + 1) == l;
}

QString QualifiedName(const xmlChar *local, const xmlNs *ns) {
  if (ns != nullptr && ns->prefix != nullptr)
    return FromXml(ns->prefix) + QLatin1Char(':') + FromXml(local);
  return FromXml(local);
}

xmlAttrPtr FindAttribute(xmlNodePtr node, const QString &name) {
  if (node == nullptr)
    return nullptr;
  const QByteArray qname = name.toUtf8();
  for (xmlAttrPtr a = node->properties; a != nullptr; a = a->next) {
    if (NameMatches(a->name, a->ns, qname))
      return a;
  }
  return nullptr;
}

// The first element from `node` on, among it and its following siblings,
// named `qname` (any name when empty).
xmlNodePtr NextElement(xmlNodePtr node, const QByteArray &qname) {
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_ELEMENT_NODE &&
        (qname.isEmpty() || NameMatches(node->name, node->ns, qname)))
      return node;
  }
  return nullptr;
}

bool IsUnicodeEncoding(const char *encoding) {
  if (encoding == nullptr)
    return true;
  QByteArray name = QByteArray(encoding).toUpper();
  name.replace("-", "").replace("_", "");
  return name == "UTF8" || name == "UTF16" || name == "UTF16LE" || name == "UTF16BE";
}

// Calls `visit` for every node below and including `root`, without recursion
// and without entering entity references (their children belong to the
// entity's declaration).
template <typename TVisit> void ForEachNode(xmlNodePtr root, TVisit visit) {
  for (xmlNodePtr n = root; n != nullptr;) {
    visit(n);
    if (n->children != nullptr && n->type == XML_ELEMENT_NODE) {
      n = n->children;
      continue;
    }
    while (n != root && n->next == nullptr)
      n = n->parent;
    if (n == root)
      break;
    n = n->next;
  }
}

bool HasCData(xmlDocPtr doc) {
  bool found = false;
  ForEachNode(xmlDocGetRootElement(doc),
              [&found](xmlNodePtr n) { found = found || n->type == XML_CDATA_SECTION_NODE; });
  return found;
}

bool CDataToText(xmlDocPtr doc) {
  std::vector<xmlNodePtr> sections;
  ForEachNode(xmlDocGetRootElement(doc), [&sections](xmlNodePtr n) {
    if (n->type == XML_CDATA_SECTION_NODE)
      sections.push_back(n);
  });
  for (xmlNodePtr section : sections) {
    xmlNodePtr text = xmlNewDocText(doc, section->content);
    if (text == nullptr)
      return false;
    xmlReplaceNode(section, text);
    xmlFreeNode(section);
  }
  return true;
}

QString NativeName(const QString &fileName) {
  return QDir::toNativeSeparators(fileName);
}

} // namespace

// ---- TXmlElement -----------------------------------------------------------

TXmlElement::TXmlElement(_xmlNode *node)
    : fNode(node != nullptr && node->type == XML_ELEMENT_NODE ? node : nullptr) {}

void TXmlElement::RequireNode() const {
  if (fNode == nullptr)
    throw EPtError("The XML element does not exist.");
}

QString TXmlElement::Name() const {
  return fNode ? QualifiedName(fNode->name, fNode->ns) : QString();
}

QString TXmlElement::LocalName() const {
  return fNode ? FromXml(fNode->name) : QString();
}

QString TXmlElement::NamespaceURI() const {
  return fNode && fNode->ns ? FromXml(fNode->ns->href) : QString();
}

QString TXmlElement::Attribute(const QString &name, bool *found) const {
  const xmlAttrPtr attr = FindAttribute(fNode, name);
  if (found != nullptr)
    *found = attr != nullptr;
  if (attr == nullptr)
    return QString();
  // An empty attribute reads as "", never as a null string.
  QString value = FromOwnedXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr)));
  return value.isNull() ? QString(QLatin1String("")) : value;
}

bool TXmlElement::HasAttribute(const QString &name) const {
  return FindAttribute(fNode, name) != nullptr;
}

void TXmlElement::SetAttribute(const QString &name, const QString &value) {
  RequireNode();
  const QByteArray utf8 = ToXmlText(value);
  if (xmlAttrPtr attr = FindAttribute(fNode, name)) {
    // xmlSetNsProp replaces the value of the existing attribute in place.
    xmlSetNsProp(fNode, attr->ns, attr->name, XmlChars(utf8));
    return;
  }
  QByteArray prefix, local;
  SplitQName(name, prefix, local);
  xmlNsPtr ns = prefix.isEmpty() ? nullptr : FindPrefix(fNode, prefix, name);
  if (xmlNewNsProp(fNode, ns, XmlChars(local), XmlChars(utf8)) == nullptr)
    throw EPtError(QStringLiteral("Cannot set the XML attribute \"%1\".").arg(name));
}

bool TXmlElement::RemoveAttribute(const QString &name) {
  xmlAttrPtr attr = FindAttribute(fNode, name);
  return attr != nullptr && xmlRemoveProp(attr) == 0;
}

QList<TXmlAttribute> TXmlElement::Attributes() const {
  QList<TXmlAttribute> result;
  if (fNode == nullptr)
    return result;
  for (xmlAttrPtr a = fNode->properties; a != nullptr; a = a->next) {
    result.append({QualifiedName(a->name, a->ns),
                   FromOwnedXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a)))});
  }
  return result;
}

QList<TXmlElement> TXmlElement::ChildElements(const QString &name) const {
  QList<TXmlElement> result;
  if (fNode == nullptr)
    return result;
  const QByteArray qname = name.toUtf8();
  for (xmlNodePtr n = NextElement(fNode->children, qname); n != nullptr;
       n = NextElement(n->next, qname))
    result.append(TXmlElement(n));
  return result;
}

TXmlElement TXmlElement::FirstChild(const QString &name) const {
  return fNode ? TXmlElement(NextElement(fNode->children, name.toUtf8())) : TXmlElement();
}

TXmlElement TXmlElement::NextSibling(const QString &name) const {
  return fNode ? TXmlElement(NextElement(fNode->next, name.toUtf8())) : TXmlElement();
}

TXmlElement TXmlElement::Parent() const {
  return fNode ? TXmlElement(fNode->parent) : TXmlElement();
}

TXmlElement TXmlElement::AddChild(const QString &name) {
  RequireNode();
  QByteArray prefix, local;
  SplitQName(name, prefix, local);
  xmlNsPtr ns =
      prefix.isEmpty() ? xmlSearchNs(fNode->doc, fNode, nullptr) : FindPrefix(fNode, prefix, name);
  xmlNodePtr child = xmlNewDocNode(fNode->doc, ns, XmlChars(local), nullptr);
  if (child == nullptr || xmlAddChild(fNode, child) == nullptr) {
    xmlFreeNode(child);
    throw EPtError(QStringLiteral("Cannot add the XML element \"%1\".").arg(name));
  }
  return TXmlElement(child);
}

bool TXmlElement::RemoveChild(const TXmlElement &child) {
  if (fNode == nullptr || child.fNode == nullptr || child.fNode->parent != fNode)
    return false;
  xmlUnlinkNode(child.fNode);
  xmlFreeNode(child.fNode);
  return true;
}

QString TXmlElement::Text() const {
  return fNode ? FromOwnedXml(xmlNodeGetContent(fNode)) : QString();
}

void TXmlElement::SetText(const QString &text) {
  RequireNode();
  // Set through a text node so that '&' and '<' stay literal characters.
  xmlNodeSetContent(fNode, nullptr);
  if (text.isEmpty())
    return;
  const QByteArray utf8 = ToXmlText(text);
  xmlNodePtr node = xmlNewDocTextLen(fNode->doc, XmlChars(utf8), static_cast<int>(utf8.size()));
  if (node == nullptr || xmlAddChild(fNode, node) == nullptr) {
    xmlFreeNode(node);
    throw EPtError("Cannot set the text of an XML element.");
  }
}

// ---- TXmlDocument ----------------------------------------------------------

TXmlDocument::TXmlDocument() {
  EnsureInit();
}

TXmlDocument::~TXmlDocument() {
  Clear();
}

TXmlDocument::TXmlDocument(TXmlDocument &&other) noexcept
    : fDoc(other.fDoc), fErrorText(std::move(other.fErrorText)),
      fFileName(std::move(other.fFileName)) {
  other.fDoc = nullptr;
}

TXmlDocument &TXmlDocument::operator=(TXmlDocument &&other) noexcept {
  if (this != &other) {
    Clear();
    fDoc = other.fDoc;
    other.fDoc = nullptr;
    fErrorText = std::move(other.fErrorText);
    fFileName = std::move(other.fFileName);
  }
  return *this;
}

void TXmlDocument::Clear() {
  if (fDoc != nullptr)
    xmlFreeDoc(fDoc);
  fDoc = nullptr;
  fFileName.clear();
}

_xmlDoc *TXmlDocument::Release() {
  xmlDocPtr doc = fDoc;
  fDoc = nullptr;
  fFileName.clear();
  return doc;
}

bool TXmlDocument::Load(const QString &fileName) {
  Clear();
  fErrorText.clear();
  QByteArray bytes;
  if (!ReadRegularFile(fileName, kMaxFileBytes, bytes, &fErrorText))
    return false;
  const QString absolute = QFileInfo(fileName).absoluteFilePath();
  if (!Parse(bytes, QFile::encodeName(absolute), NativeName(fileName) + QStringLiteral(": ")))
    return false;
  fFileName = fileName;
  return true;
}

bool TXmlDocument::LoadFromMemory(const QByteArray &bytes, const QString &baseFileName) {
  Clear();
  fErrorText.clear();
  const QByteArray url = baseFileName.isEmpty()
                             ? QByteArray()
                             : QFile::encodeName(QFileInfo(baseFileName).absoluteFilePath());
  return Parse(bytes, url, QString());
}

bool TXmlDocument::Parse(const QByteArray &bytes, const QByteArray &url, const QString &where) {
  if (bytes.size() > INT_MAX) {
    fErrorText = where + QStringLiteral("The document is too large.");
    return false;
  }
  TErrorCapture capture;
  TParserCtxt ctxt(xmlNewParserCtxt());
  if (!ctxt) {
    fErrorText = where + QStringLiteral("Out of memory.");
    return false;
  }
  RefuseDoctype(ctxt.get());
  TDocHolder doc(xmlCtxtReadMemory(ctxt.get(), bytes.constData(), static_cast<int>(bytes.size()),
                                   url.isEmpty() ? nullptr : url.constData(), nullptr,
                                   kParseOptions));
  if (!doc || !ctxt->wellFormed || xmlDocGetRootElement(doc.get()) == nullptr) {
    QString reason =
        StoppedAtDoctype(ctxt.get()) ? QString::fromLatin1(kDoctypeRefused) : capture.First();
    if (reason.isEmpty())
      reason = QStringLiteral("The document is not well-formed XML.");
    fErrorText = where + reason;
    return false;
  }
  fDoc = doc.release();
  return true;
}

void TXmlDocument::Create(const QString &rootName, const QString &namespaceUri) {
  EnsureInit();
  QByteArray prefix, local;
  SplitQName(rootName, prefix, local);
  if (!prefix.isEmpty() && namespaceUri.isEmpty())
    throw EPtError(QStringLiteral("The namespace prefix of \"%1\" is not declared.").arg(rootName));
  TDocHolder doc(xmlNewDoc(reinterpret_cast<const xmlChar *>("1.0")));
  xmlNodePtr root = doc ? xmlNewDocNode(doc.get(), nullptr, XmlChars(local), nullptr) : nullptr;
  if (root == nullptr)
    throw EPtError("Out of memory.");
  xmlDocSetRootElement(doc.get(), root);
  if (!namespaceUri.isEmpty()) {
    // The serialiser writes URIs almost verbatim; these would not survive.
    for (const QChar c : namespaceUri) {
      if (c == QLatin1Char('<') || c < QLatin1Char(' ') || !IsXmlChar(c.unicode()))
        throw EPtError(QStringLiteral("\"%1\" is not a valid namespace URI.").arg(namespaceUri));
    }
    const QByteArray uri = namespaceUri.toUtf8();
    xmlNsPtr ns = xmlNewNs(root, XmlChars(uri), prefix.isEmpty() ? nullptr : XmlChars(prefix));
    if (ns == nullptr)
      throw EPtError(QStringLiteral("Cannot declare the namespace \"%1\".").arg(namespaceUri));
    xmlSetNs(root, ns);
  }
  Clear();
  fErrorText.clear();
  fDoc = doc.release();
}

TXmlElement TXmlDocument::DocumentElement() const {
  return fDoc ? TXmlElement(xmlDocGetRootElement(fDoc)) : TXmlElement();
}

QByteArray TXmlDocument::SaveToBytes(const char *encoding) {
  fErrorText.clear();
  if (fDoc == nullptr) {
    fErrorText = QStringLiteral("There is no document to save.");
    return QByteArray();
  }
  const char *enc = encoding != nullptr && *encoding != '\0' ? encoding : nullptr;
  const bool lossless = IsUnicodeEncoding(enc);
  TErrorCapture capture;

  // libxml2 writes characters the encoding lacks as character references,
  // which inside a CDATA section would silently become literal text: such
  // sections are written as ordinary (escaped) text, from a copy.
  xmlDocPtr source = fDoc;
  TDocHolder copy;
  if (!lossless && HasCData(fDoc)) {
    copy.reset(xmlCopyDoc(fDoc, 1));
    if (!copy || !CDataToText(copy.get())) {
      fErrorText = QStringLiteral("Out of memory.");
      return QByteArray();
    }
    source = copy.get();
  }

  QByteArray out;
  auto write = [](void *context, const char *buffer, int length) -> int {
    try {
      static_cast<QByteArray *>(context)->append(buffer, length);
      return length;
    } catch (...) {
      return -1;
    }
  };
  xmlSaveCtxtPtr save = xmlSaveToIO(write, nullptr, &out, enc, XML_SAVE_FORMAT);
  if (save == nullptr) {
    const QString reason = capture.First();
    fErrorText =
        reason.isEmpty()
            ? QStringLiteral("Cannot write the encoding \"%1\".").arg(QString::fromLatin1(encoding))
            : reason;
    return QByteArray();
  }
  const long saved = xmlSaveDoc(save, source);
  const int closed = xmlSaveClose(save);
  if (saved < 0 || closed < 0 || out.isEmpty() || out.size() > INT_MAX) {
    const QString reason = capture.First();
    fErrorText =
        reason.isEmpty() ? QStringLiteral("The document could not be serialised.") : reason;
    return QByteArray();
  }
  // libxml2 writes what it cannot encode as character references, which no
  // parser accepts inside a name, and it does not escape every character of a
  // namespace URI. Reading the result back is the one sure test that the file
  // will load again.
  TDocHolder check(xmlReadMemory(out.constData(), static_cast<int>(out.size()), nullptr, nullptr,
                                 kParseOptions));
  if (!check) {
    QString reason = capture.First();
    if (reason.isEmpty())
      reason = QStringLiteral("the result is not well-formed");
    fErrorText = QStringLiteral("The document cannot be written as \"%1\" without damage: %2")
                     .arg(QString::fromLatin1(enc ? enc : "UTF-8"), reason);
    return QByteArray();
  }
  return out;
}

bool TXmlDocument::Save(const QString &fileName, const char *encoding) {
  const QByteArray bytes = SaveToBytes(encoding);
  if (bytes.isEmpty()) {
    fErrorText = QStringLiteral("Cannot write \"%1\": %2").arg(NativeName(fileName), fErrorText);
    return false;
  }
  QSaveFile file(fileName);
  QString reason;
  if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, bytes, &reason) || !file.commit()) {
    if (reason.isEmpty())
      reason = file.errorString();
    fErrorText = QStringLiteral("Cannot write \"%1\": %2").arg(NativeName(fileName), reason);
    file.cancelWriting();
    return false;
  }
  fFileName = fileName;
  return true;
}

// ---- TXslTransform ---------------------------------------------------------

TXslTransform::TXslTransform() {
  EnsureInit();
}

TXslTransform::~TXslTransform() {
  Free();
}

void TXslTransform::Free() {
  if (fStyle != nullptr)
    xsltFreeStylesheet(fStyle);
  fStyle = nullptr;
}

bool TXslTransform::Load(const QString &fileName) {
  Free();
  fErrorText.clear();
  TXmlDocument doc;
  if (!doc.Load(fileName)) {
    fErrorText = doc.ErrorText();
    return false;
  }
  return TakeStyleSheet(doc, NativeName(fileName) + QStringLiteral(": "));
}

bool TXslTransform::LoadFromMemory(const QByteArray &bytes, const QString &baseFileName) {
  Free();
  fErrorText.clear();
  TXmlDocument doc;
  if (!doc.LoadFromMemory(bytes, baseFileName)) {
    fErrorText = doc.ErrorText();
    return false;
  }
  return TakeStyleSheet(doc, QString());
}

bool TXslTransform::TakeStyleSheet(TXmlDocument &doc, const QString &where) {
  TErrorCapture capture;
  TDocHolder owned(doc.Release());
  fStyle = xsltParseStylesheetDoc(owned.get());
  if (fStyle == nullptr) {
    // On failure the document still belongs to us.
    const QString reason = capture.All();
    fErrorText = where + (reason.isEmpty() ? QStringLiteral("Not an XSLT style sheet.") : reason);
    return false;
  }
  (void)owned.release();
  return true;
}

QString TXslTransform::Transform(const TXmlDocument &doc) {
  if (!doc.IsActive())
    throw EPtError("There is no XML document to transform.");
  // libxslt may strip white space from its input, so it works on a copy.
  TDocHolder copy(xmlCopyDoc(doc.Doc(), 1));
  if (!copy)
    throw EPtError("Out of memory.");
  return Run(copy.get());
}

QString TXslTransform::TransformElement(const TXmlElement &element) {
  if (element.IsNull())
    throw EPtError("There is no XML element to transform.");
  TDocHolder doc(xmlNewDoc(reinterpret_cast<const xmlChar *>("1.0")));
  xmlNodePtr copy = doc ? xmlDocCopyNode(element.Node(), doc.get(), 1) : nullptr;
  if (copy == nullptr)
    throw EPtError("Out of memory.");
  xmlDocSetRootElement(doc.get(), copy);
  return Run(doc.get());
}

QString TXslTransform::Run(_xmlDoc *source) {
  if (fStyle == nullptr)
    throw EPtError("No XSLT style sheet is loaded.");
  TErrorCapture capture;
  auto fail = [&capture](const char *fallback) {
    const QString reason = capture.All();
    return EPtError(reason.isEmpty() ? QString::fromUtf8(fallback) : reason);
  };
  std::unique_ptr<xsltTransformContext, decltype(&xsltFreeTransformContext)> ctxt(
      xsltNewTransformContext(fStyle, source), &xsltFreeTransformContext);
  if (!ctxt || xsltSetCtxtSecurityPrefs(SecurityPrefs(), ctxt.get()) != 0)
    throw fail("The XSLT transformation could not be started.");
  TDocHolder result(xsltApplyStylesheetUser(fStyle, source, nullptr, nullptr, nullptr, ctxt.get()));
  if (!result || ctxt->state != XSLT_STATE_OK)
    throw fail("The XSLT transformation failed.");
  // An output buffer without an encoder receives UTF-8 whatever the style
  // sheet's xsl:output asks for; the text is returned as characters anyway.
  xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
  if (out == nullptr)
    throw EPtError("Out of memory.");
  const int written = xsltSaveResultTo(out, result.get(), fStyle);
  const QString text = written < 0
                           ? QString()
                           : QString::fromUtf8(Chars(xmlOutputBufferGetContent(out)),
                                               static_cast<qsizetype>(xmlOutputBufferGetSize(out)));
  xmlOutputBufferClose(out);
  if (written < 0)
    throw fail("The XSLT result could not be serialised.");
  return text;
}
