#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The program's one XML layer, over libxml2 and libxslt. Every XML file of the
// program (configuration, presets, command table, languages, style sheets)
// goes through these classes, so the parser settings that keep untrusted
// files harmless live in one place: no network access, no external entities
// or DTDs are ever loaded, and a document that declares a document type
// (and so could declare entities) is refused.

struct _xmlDoc;
struct _xmlNode;
struct _xsltStylesheet;

struct TXmlAttribute {
  QString Name; // qualified name, "prefix:local" or "local"
  QString Value;
};

// A non-owning handle to an element of a TXmlDocument. It is valid while the
// element is in its document and the document lives; copying it is cheap.
// Names are qualified names ("prefix:local" or "local") and compared exactly.
// Texts written through a handle are stored as given, except for characters
// XML 1.0 cannot carry (most C0 controls, lone surrogates, U+FFFE/U+FFFF),
// which become U+FFFD so that the saved file stays loadable.
class TXmlElement {
public:
  TXmlElement() = default;
  // A handle to `node`; any node that is not an element gives a null handle.
  explicit TXmlElement(_xmlNode *node);

  bool IsNull() const { return fNode == nullptr; }
  explicit operator bool() const { return fNode != nullptr; }
  _xmlNode *Node() const { return fNode; }
  bool operator==(const TXmlElement &other) const = default;

  // All of the following treat a null handle as an empty element: reads give
  // empty results, writes raise EPtError.
  QString Name() const;
  QString LocalName() const;
  QString NamespaceURI() const;

  // The value of the attribute with the qualified name `name`; "" when it is
  // missing, with `found` (when given) telling the two apart.
  QString Attribute(const QString &name, bool *found = nullptr) const;
  bool HasAttribute(const QString &name) const;
  // Replaces the value in place or appends a new attribute, so attributes keep
  // the order in which they were first set. A prefix must be declared in scope.
  void SetAttribute(const QString &name, const QString &value);
  bool RemoveAttribute(const QString &name);
  QList<TXmlAttribute> Attributes() const;

  // Child elements in document order; an empty `name` matches every element.
  QList<TXmlElement> ChildElements(const QString &name = QString()) const;
  TXmlElement FirstChild(const QString &name = QString()) const;
  // The next sibling element after this one (with that name when given).
  TXmlElement NextSibling(const QString &name = QString()) const;
  // The parent element; null for the document element.
  TXmlElement Parent() const;

  // Appends a new child element. An unprefixed name lands in the default
  // namespace in scope, as it would when the saved file is read back.
  TXmlElement AddChild(const QString &name);
  // Unlinks and frees `child` when it is a child of this element; false
  // otherwise. Handles to the removed element or its descendants dangle.
  bool RemoveChild(const TXmlElement &child);

  // The concatenated text of all descendants.
  QString Text() const;
  // Replaces all children with one text node (none for an empty text);
  // handles to the removed child elements dangle.
  void SetText(const QString &text);

private:
  void RequireNode() const;

  _xmlNode *fNode = nullptr;
};

// Owns one libxml2 document. Load functions never raise: they return false
// and leave the reason in ErrorText(), and a failed load leaves the document
// empty. Functions that take names raise EPtError for names that are not
// valid XML names.
class TXmlDocument {
public:
  TXmlDocument();
  ~TXmlDocument();
  TXmlDocument(const TXmlDocument &) = delete;
  TXmlDocument &operator=(const TXmlDocument &) = delete;
  TXmlDocument(TXmlDocument &&other) noexcept;
  TXmlDocument &operator=(TXmlDocument &&other) noexcept;

  bool Load(const QString &fileName);
  // `baseFileName` (optional) resolves relative references such as xsl:include.
  bool LoadFromMemory(const QByteArray &bytes, const QString &baseFileName = QString());
  // A new document holding only the root element `rootName`, in the namespace
  // `namespaceUri` when given (as the default namespace, or bound to the
  // root name's prefix).
  void Create(const QString &rootName, const QString &namespaceUri = QString());
  void Clear();

  bool IsActive() const { return fDoc != nullptr; }
  TXmlElement DocumentElement() const;

  // Writes the document, indented, with an XML declaration naming `encoding`.
  // Characters the encoding cannot hold are written as character references
  // (CDATA sections holding them are written as plain text). The result is
  // read back before it is written: a document that would not load again
  // (a name outside the encoding, say) is refused. The text goes to a temporary file in the
  // target's folder which then replaces the target, so a crash or a full disk never leaves half a
  // file. False, with ErrorText(), when anything fails; the target is then untouched.
  bool Save(const QString &fileName, const char *encoding = "windows-1250");
  // The same bytes Save would write; empty, with ErrorText(), on failure.
  QByteArray SaveToBytes(const char *encoding = "windows-1250");

  QString ErrorText() const { return fErrorText; }
  // The file last loaded or saved; empty for documents from memory.
  QString FileName() const { return fFileName; }
  _xmlDoc *Doc() const { return fDoc; }

private:
  friend class TXslTransform;
  bool Parse(const QByteArray &bytes, const QByteArray &url, const QString &where);
  _xmlDoc *Release();

  _xmlDoc *fDoc = nullptr;
  QString fErrorText;
  QString fFileName;
};

// An XSLT style sheet. Style sheets run with security preferences that refuse
// writing files, creating folders and any network access, and documents they
// read (xsl:include, xsl:import, document()) are parsed with the same safe
// settings as TXmlDocument.
class TXslTransform {
public:
  TXslTransform();
  ~TXslTransform();
  TXslTransform(const TXslTransform &) = delete;
  TXslTransform &operator=(const TXslTransform &) = delete;

  // False, with ErrorText(), when the file cannot be read, is not well-formed
  // or is not a style sheet.
  bool Load(const QString &fileName);
  bool LoadFromMemory(const QByteArray &bytes, const QString &baseFileName = QString());
  bool IsLoaded() const { return fStyle != nullptr; }
  QString ErrorText() const { return fErrorText; }

  // The serialised result of transforming `doc` (left unchanged). Raises
  // EPtError with libxslt's message when no style sheet is loaded, the
  // document is empty or the transformation fails or is refused.
  QString Transform(const TXmlDocument &doc);
  // Transforms a copy of `element` made the document element of a document
  // of its own.
  QString TransformElement(const TXmlElement &element);

private:
  void Free();
  // Parses `doc` as the style sheet, which then owns it; `where` prefixes
  // the error text.
  bool TakeStyleSheet(TXmlDocument &doc, const QString &where);
  QString Run(_xmlDoc *source);

  _xsltStylesheet *fStyle = nullptr;
  QString fErrorText;
};
