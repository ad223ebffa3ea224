#include "base/pterror.h"
#include "base/xmldoc.h"
#include "filesizelimit.h"
#include "hangguard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <sys/stat.h>

namespace {

class XmlTest : public ::testing::Test {
protected:
  QString Path(const QString &name) const { return fDir.filePath(name); }

  QString Write(const QString &name, const QByteArray &content) const {
    const QString path = Path(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
  }

  static QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QStringList Entries(const QString &folder) const {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
  }

  QTemporaryDir fDir;
};

// Records every external resource libxml2 is asked to open while alive.
class LoadRecorder {
public:
  LoadRecorder() : fOld(xmlGetExternalEntityLoader()) {
    sOld = fOld;
    sUrls.clear();
    xmlSetExternalEntityLoader(&LoadRecorder::Load);
  }
  ~LoadRecorder() { xmlSetExternalEntityLoader(fOld); }
  static QStringList Urls() { return sUrls; }

private:
  static xmlParserInputPtr Load(const char *url, const char *id, xmlParserCtxtPtr ctxt) {
    sUrls << QString::fromUtf8(url ? url : "");
    return sOld(url, id, ctxt);
  }
  xmlExternalEntityLoader fOld;
  static inline xmlExternalEntityLoader sOld = nullptr;
  static inline QStringList sUrls;
};

TEST_F(XmlTest, LoadsAWellFormedFile) {
  const QString path = Write("good.xml", "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
                                         "<root xmlns=\"urn:test\" version=\"2\">\n"
                                         "  <item name=\"P\xf8ij\xedmac\xed\" empty=\"\"/>\n"
                                         "  <!-- note -->\n"
                                         "  <other>text &amp; more</other>\n"
                                         "  <item name=\"second\"/>\n"
                                         "</root>\n");
  TXmlDocument doc;
  ASSERT_TRUE(doc.Load(path)) << doc.ErrorText().toStdString();
  EXPECT_TRUE(doc.IsActive());
  EXPECT_EQ(doc.FileName(), path);
  const TXmlElement root = doc.DocumentElement();
  EXPECT_EQ(root.Name(), "root");
  EXPECT_EQ(root.NamespaceURI(), "urn:test");
  EXPECT_EQ(root.Attribute("version"), "2");
  EXPECT_TRUE(root.Parent().IsNull());

  const QList<TXmlElement> items = root.ChildElements("item");
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0].Attribute("name"), QStringLiteral("Přijímací"));
  EXPECT_EQ(items[1].Attribute("name"), "second");
  EXPECT_EQ(items[0].Parent(), root);
  EXPECT_EQ(root.ChildElements().size(), 3);
  EXPECT_EQ(root.FirstChild().NextSibling("item"), items[1]);
  EXPECT_EQ(root.FirstChild("other").Text(), "text & more");

  bool found = false;
  EXPECT_EQ(items[0].Attribute("empty", &found), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(items[0].Attribute("missing", &found), "");
  EXPECT_FALSE(found);
  EXPECT_TRUE(items[0].HasAttribute("empty"));
  EXPECT_FALSE(items[0].HasAttribute("missing"));
}

TEST_F(XmlTest, MalformedOrMissingFilesFailWithAReason) {
  struct Case {
    const char *name;
    QByteArray content;
    const char *reason; // a fragment of the expected error text, if any
  };
  const Case cases[] = {
      {"mismatch.xml", "<a>\n<b></a>", "line 2"}, {"empty.xml", "", nullptr},
      {"text.xml", "just text", nullptr},         {"truncated.xml", "<a><b>", nullptr},
      {"twice.xml", "<a/><b/>", "Extra content"}, {"utf8.xml", "<a>\xe8</a>", "UTF-8"},
  };
  for (const Case &c : cases) {
    const QString path = Write(c.name, c.content);
    TXmlDocument doc;
    doc.Create("previous");
    EXPECT_FALSE(doc.Load(path)) << c.name;
    EXPECT_FALSE(doc.IsActive()) << c.name;
    EXPECT_TRUE(doc.DocumentElement().IsNull()) << c.name;
    EXPECT_TRUE(doc.ErrorText().contains(QString::fromUtf8(c.name)))
        << doc.ErrorText().toStdString();
    if (c.reason != nullptr) {
      EXPECT_TRUE(doc.ErrorText().contains(QString::fromUtf8(c.reason), Qt::CaseInsensitive))
          << doc.ErrorText().toStdString();
    }
  }

  TXmlDocument doc;
  EXPECT_FALSE(doc.Load(Path("missing.xml")));
  EXPECT_TRUE(doc.ErrorText().contains("does not exist"));
  EXPECT_FALSE(doc.Load(QString()));
  EXPECT_FALSE(doc.Load(fDir.path()));
  EXPECT_TRUE(doc.ErrorText().contains("not a file")) << doc.ErrorText().toStdString();
  EXPECT_FALSE(doc.Load("/dev/zero"));
  EXPECT_FALSE(doc.LoadFromMemory(QByteArray()));
  EXPECT_FALSE(doc.ErrorText().isEmpty());
}

TEST_F(XmlTest, DocumentsDeclaringADocumentTypeAreRefusedWithoutLoadingAnything) {
  const QString secret = Write("secret.txt", "TOPSECRET");
  const QString dtd = Write("ext.dtd", "<!ENTITY fromdtd \"TOPSECRET\">");
  const QString pe = Write("pe.dtd", "<!ENTITY frompe \"TOPSECRET\">");
  const QByteArray external = "<?xml version=\"1.0\"?>\n"
                              "<!DOCTYPE r SYSTEM \"file://" +
                              dtd.toUtf8() +
                              "\" [\n"
                              "  <!ENTITY xxe SYSTEM \"file://" +
                              secret.toUtf8() +
                              "\">\n"
                              "  <!ENTITY % pe SYSTEM \"file://" +
                              pe.toUtf8() +
                              "\"> %pe;\n"
                              "]>\n"
                              "<r a=\"x\">&xxe;<c>&xxe;</c></r>";
  // An internal entity is substituted inside attribute values whatever the
  // parser options: 20,000 references to 100 KB would need 2 GB.
  const QByteArray expansion = "<!DOCTYPE r [<!ENTITY big \"" + QByteArray(100 * 1024, 'x') +
                               "\">]><r><CmdLine LastCommand=\"" +
                               QByteArray("&big;").repeated(20000) + "\"/></r>";
  const QByteArray cases[] = {external, expansion, "<!DOCTYPE r><r/>",
                              "<!DOCTYPE r PUBLIC \"-//x//y\" \"http://127.0.0.1:9/x.dtd\"><r/>"};

  LoadRecorder recorder;
  for (const QByteArray &xml : cases) {
    const QString path = Write("doctype.xml", xml);
    TXmlDocument doc;
    EXPECT_FALSE(doc.Load(path)) << xml.left(80).constData();
    EXPECT_FALSE(doc.IsActive());
    EXPECT_TRUE(doc.ErrorText().contains("DOCTYPE")) << doc.ErrorText().toStdString();
    EXPECT_TRUE(doc.ErrorText().contains("doctype.xml")) << doc.ErrorText().toStdString();
    EXPECT_FALSE(doc.LoadFromMemory(xml));
    EXPECT_TRUE(doc.ErrorText().contains("DOCTYPE")) << doc.ErrorText().toStdString();
  }
  EXPECT_TRUE(LoadRecorder::Urls().isEmpty()) << LoadRecorder::Urls().join(' ').toStdString();

  // The same text without the declaration loads; an entity it names is an error.
  TXmlDocument plain;
  EXPECT_TRUE(plain.LoadFromMemory("<r a=\"&lt;&#65;\"/>"));
  EXPECT_EQ(plain.DocumentElement().Attribute("a"), "<A");
  EXPECT_FALSE(plain.LoadFromMemory("<r a=\"&big;\"/>"));
}

TEST_F(XmlTest, AttributesKeepTheirOrderThroughSaveAndLoad) {
  TXmlDocument doc;
  doc.Create("root");
  TXmlElement item = doc.DocumentElement().AddChild("item");
  item.SetAttribute("z", "1");
  item.SetAttribute("a", "2");
  item.SetAttribute("m", "3");
  item.SetAttribute("a", "changed"); // replaced in place, not moved
  const QString path = Path("order.xml");
  ASSERT_TRUE(doc.Save(path)) << doc.ErrorText().toStdString();

  const QByteArray bytes = Read(path);
  EXPECT_TRUE(bytes.contains("<item z=\"1\" a=\"changed\" m=\"3\"/>")) << bytes.constData();

  TXmlDocument again;
  ASSERT_TRUE(again.Load(path));
  const QList<TXmlAttribute> attributes = again.DocumentElement().FirstChild().Attributes();
  ASSERT_EQ(attributes.size(), 3);
  EXPECT_EQ(attributes[0].Name, "z");
  EXPECT_EQ(attributes[1].Name, "a");
  EXPECT_EQ(attributes[1].Value, "changed");
  EXPECT_EQ(attributes[2].Name, "m");

  EXPECT_TRUE(item.RemoveAttribute("a"));
  EXPECT_FALSE(item.RemoveAttribute("a"));
  EXPECT_EQ(item.Attributes().size(), 2);
}

TEST_F(XmlTest, Windows1250SaveKeepsEveryCharacter) {
  const QString caption =
      QStringLiteral("Přijímací & <okno> \"uvozovky\" 'apostrof' 中😀\t\r\n konec");
  const QString text = QStringLiteral("Žluťoučký kůň\r\nřádek 2 & < > ]]> 中");
  TXmlDocument doc;
  doc.Create("config");
  TXmlElement root = doc.DocumentElement();
  root.SetAttribute("caption", caption);
  root.AddChild("text").SetText(text);
  const QString path = Path("cz.xml");
  ASSERT_TRUE(doc.Save(path)) << doc.ErrorText().toStdString();

  const QByteArray bytes = Read(path);
  EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"windows-1250\"?>"))
      << bytes.constData();
  EXPECT_TRUE(bytes.contains("P\xf8ij\xedmac\xed"));
  EXPECT_TRUE(bytes.contains("&#20013;"));
  EXPECT_TRUE(bytes.contains("&#128512;"));
  EXPECT_FALSE(bytes.contains("\xc5\x99")); // no UTF-8 in the file

  TXmlDocument again;
  ASSERT_TRUE(again.Load(path)) << again.ErrorText().toStdString();
  EXPECT_EQ(again.DocumentElement().Attribute("caption"), caption);
  EXPECT_EQ(again.DocumentElement().FirstChild("text").Text(), text);

  // A file that declared another encoding is written with the new one.
  ASSERT_TRUE(again.LoadFromMemory("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a b=\"ř\"/>"));
  const QByteArray converted = again.SaveToBytes();
  EXPECT_TRUE(converted.contains("encoding=\"windows-1250\"")) << converted.constData();
  EXPECT_TRUE(converted.contains("b=\"\xf8\""));
}

// Character references are no help inside CDATA sections or names.
TEST_F(XmlTest, Windows1250NeverProducesABrokenOrAlteredFile) {
  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<r><c><![CDATA[č 中 <raw> &amp;]]></c></r>"));
  const QByteArray bytes = doc.SaveToBytes();
  ASSERT_FALSE(bytes.isEmpty()) << doc.ErrorText().toStdString();
  TXmlDocument again;
  ASSERT_TRUE(again.LoadFromMemory(bytes)) << bytes.constData();
  EXPECT_EQ(again.DocumentElement().FirstChild().Text(), QStringLiteral("č 中 <raw> &amp;"));
  // The document itself keeps its CDATA section.
  EXPECT_TRUE(doc.SaveToBytes("UTF-8").contains("<![CDATA["));

  ASSERT_TRUE(doc.LoadFromMemory("<r><中 a=\"1\"/></r>"));
  const QString path = Write("names.xml", "<old/>");
  EXPECT_FALSE(doc.Save(path));
  EXPECT_TRUE(doc.ErrorText().contains("names.xml")) << doc.ErrorText().toStdString();
  EXPECT_TRUE(doc.ErrorText().contains("windows-1250")) << doc.ErrorText().toStdString();
  EXPECT_EQ(Read(path), "<old/>");
  EXPECT_TRUE(doc.Save(path, "UTF-8")) << doc.ErrorText().toStdString();
  ASSERT_TRUE(again.Load(path));
  EXPECT_EQ(again.DocumentElement().FirstChild().Name(), QStringLiteral("中"));
}

TEST_F(XmlTest, CharactersXmlCannotCarryAreReplacedSoTheFileStaysLoadable) {
  TXmlDocument doc;
  doc.Create("root");
  TXmlElement root = doc.DocumentElement();
  const QString bad = QStringLiteral("a") + QChar(0x01) + QStringLiteral("b") + QChar(0xD800) +
                      QStringLiteral("c") + QChar(0xFFFF);
  root.SetAttribute("v", bad);
  root.SetText(bad);
  const QByteArray bytes = doc.SaveToBytes();
  ASSERT_FALSE(bytes.isEmpty()) << doc.ErrorText().toStdString();
  TXmlDocument again;
  ASSERT_TRUE(again.LoadFromMemory(bytes)) << again.ErrorText().toStdString();
  const QString expected = QStringLiteral("a\uFFFDb\uFFFDc\uFFFD");
  EXPECT_EQ(again.DocumentElement().Attribute("v"), expected);
  EXPECT_EQ(again.DocumentElement().Text(), expected);
}

TEST_F(XmlTest, SaveFailuresReportAnErrorAndLeaveNoFile) {
  TXmlDocument doc;
  doc.Create("root");

  QString readOnly = Path("readonly");
  ASSERT_TRUE(QDir().mkpath(readOnly));
  QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  bool checkListing = true;
  {
    // Root ignores folder permissions; /proc refuses new files to anyone.
    QFile probe(readOnly + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
      probe.remove();
      readOnly = "/proc";
      checkListing = false;
    }
  }
  const QString targets[] = {readOnly + "/out.xml", Path("no/such/folder/out.xml")};
  for (const QString &target : targets) {
    EXPECT_FALSE(doc.Save(target)) << target.toStdString();
    EXPECT_TRUE(doc.ErrorText().contains("out.xml")) << doc.ErrorText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
  }
  if (checkListing) {
    EXPECT_TRUE(Entries(readOnly).isEmpty());
  }
  QFile::setPermissions(Path("readonly"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  EXPECT_FALSE(doc.Save(Path("enc.xml"), "no-such-encoding"));
  EXPECT_FALSE(doc.ErrorText().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(Path("enc.xml")));

  TXmlDocument empty;
  EXPECT_FALSE(empty.Save(Path("empty.xml")));
  EXPECT_FALSE(QFileInfo::exists(Path("empty.xml")));
}

// A write that fails half-way (a full disk, here a file size limit) must
// leave the previous file as it was and no temporary file behind.
TEST_F(XmlTest, AFailedWriteKeepsThePreviousFile) {
  const QString path = Write("keep.xml", "<old/>");
  TXmlDocument doc;
  doc.Create("root");
  doc.DocumentElement().SetText(QString(200000, QLatin1Char('x')));

  bool saved = true;
  {
    TFileSizeLimit limit(64 * 1024);
    saved = doc.Save(path);
  }
  EXPECT_FALSE(saved);
  // The system's reason, not "Unknown error".
  EXPECT_TRUE(doc.ErrorText().contains("keep.xml")) << doc.ErrorText().toStdString();
  EXPECT_TRUE(doc.ErrorText().endsWith(qt_error_string(EFBIG))) << doc.ErrorText().toStdString();
  EXPECT_EQ(Read(path), "<old/>");
  EXPECT_EQ(Entries(fDir.path()), QStringList{"keep.xml"});
}

TEST_F(XmlTest, NamespacesOfNewElements) {
  const QString uri = "http://example.invalid/xml/2008/duradidarozavi/presets";
  TXmlDocument doc;
  doc.Create("presets", uri);
  TXmlElement group = doc.DocumentElement().AddChild("group");
  group.SetAttribute("caption", "Test");
  EXPECT_EQ(group.NamespaceURI(), uri);
  const QByteArray bytes = doc.SaveToBytes();
  EXPECT_EQ(bytes.count("xmlns"), 1) << bytes.constData();

  TXmlDocument again;
  ASSERT_TRUE(again.LoadFromMemory(bytes));
  EXPECT_EQ(again.DocumentElement().NamespaceURI(), uri);
  EXPECT_EQ(again.DocumentElement().FirstChild("group").NamespaceURI(), uri);

  TXmlDocument prefixed;
  prefixed.Create("p:root", "urn:p");
  TXmlElement item = prefixed.DocumentElement().AddChild("p:item");
  EXPECT_EQ(item.Name(), "p:item");
  EXPECT_EQ(item.LocalName(), "item");
  EXPECT_EQ(item.NamespaceURI(), "urn:p");
  EXPECT_EQ(prefixed.DocumentElement().ChildElements("p:item").size(), 1);
  EXPECT_TRUE(prefixed.DocumentElement().ChildElements("item").isEmpty());
  EXPECT_THROW(prefixed.DocumentElement().AddChild("q:item"), EPtError);
  EXPECT_THROW(prefixed.Create("q:root"), EPtError);
  EXPECT_THROW(prefixed.Create("root", "urn:a<b"), EPtError);
  EXPECT_THROW(prefixed.Create("root", "urn:a\tb"), EPtError);

  // libxml2 would write this loaded URI unescaped: the save is refused.
  ASSERT_TRUE(again.LoadFromMemory("<r xmlns=\"a&lt;b\"/>"));
  EXPECT_TRUE(again.SaveToBytes("UTF-8").isEmpty());
  EXPECT_TRUE(again.ErrorText().contains("without damage")) << again.ErrorText().toStdString();
}

TEST_F(XmlTest, BadNamesAndNullHandlesRaiseErrors) {
  TXmlDocument doc;
  doc.Create("root");
  TXmlElement root = doc.DocumentElement();
  for (const char *name : {"", "1abc", "a b", "a<b", "x:", ":x", "a&b"}) {
    EXPECT_THROW(root.AddChild(name), EPtError) << name;
    EXPECT_THROW(root.SetAttribute(name, "v"), EPtError) << name;
    EXPECT_THROW(TXmlDocument().Create(name), EPtError) << name;
  }
  EXPECT_TRUE(root.ChildElements().isEmpty());
  EXPECT_TRUE(root.Attributes().isEmpty());

  TXmlElement null;
  EXPECT_EQ(null.Attribute("a"), "");
  EXPECT_TRUE(null.ChildElements().isEmpty());
  EXPECT_TRUE(null.FirstChild().IsNull());
  EXPECT_THROW(null.SetAttribute("a", "b"), EPtError);
  EXPECT_THROW(null.AddChild("a"), EPtError);
  EXPECT_THROW(null.SetText("a"), EPtError);
  EXPECT_FALSE(null.RemoveChild(root));
}

TEST_F(XmlTest, EditingChildrenAndText) {
  TXmlDocument doc;
  doc.Create("root");
  TXmlElement root = doc.DocumentElement();
  TXmlElement a = root.AddChild("item");
  TXmlElement b = root.AddChild("item");
  TXmlElement inner = a.AddChild("inner");
  EXPECT_FALSE(root.RemoveChild(inner)); // a grandchild, not a child
  EXPECT_TRUE(root.RemoveChild(a));
  EXPECT_EQ(root.ChildElements(), QList<TXmlElement>{b});

  b.SetText("&amp; <x> ");
  EXPECT_EQ(b.Text(), "&amp; <x> ");
  b.AddChild("child");
  b.SetText(""); // replaces the child elements as well
  EXPECT_TRUE(b.ChildElements().isEmpty());
  EXPECT_EQ(b.Text(), "");
  b.SetText("last");
  TXmlDocument again;
  ASSERT_TRUE(again.LoadFromMemory(doc.SaveToBytes()));
  EXPECT_EQ(again.DocumentElement().FirstChild("item").Text(), "last");
}

// ---- XSLT ------------------------------------------------------------------

const QByteArray kDataStyle = "<xsl:stylesheet version=\"1.0\" "
                              "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                              "<xsl:output method=\"html\"/>"
                              "<xsl:template match=\"data\"><b><xsl:value-of select=\"@title\"/>"
                              "</b></xsl:template></xsl:stylesheet>";

TEST_F(XmlTest, TransformsADocumentAndAnElement) {
  TXslTransform xsl;
  ASSERT_TRUE(xsl.Load(Write("style.xsl", kDataStyle))) << xsl.ErrorText().toStdString();

  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<data title=\"Pozice: 3/10 – č &amp; 中\"/>"));
  EXPECT_EQ(xsl.Transform(doc).trimmed(), QStringLiteral("<b>Pozice: 3/10 – č &amp; 中</b>"));

  TXmlDocument many;
  ASSERT_TRUE(many.LoadFromMemory("<list><data title=\"one\"/><data title=\"two\"/></list>"));
  const TXmlElement second = many.DocumentElement().ChildElements("data").at(1);
  EXPECT_EQ(xsl.TransformElement(second).trimmed(), "<b>two</b>");
}

TEST_F(XmlTest, IncludesAreResolvedBesideTheStyleSheet) {
  Write("inc/part.xsl", "<xsl:stylesheet version=\"1.0\" "
                        "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                        "<xsl:template match=\"/\">[<xsl:value-of select=\"*/@v\"/>]"
                        "</xsl:template></xsl:stylesheet>");
  const QString main = Write("main.xsl", "<xsl:stylesheet version=\"1.0\" "
                                         "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                         "<xsl:output method=\"text\"/>"
                                         "<xsl:include href=\"inc/part.xsl\"/></xsl:stylesheet>");
  TXslTransform xsl;
  ASSERT_TRUE(xsl.Load(main)) << xsl.ErrorText().toStdString();
  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<a v=\"ok\"/>"));
  EXPECT_EQ(xsl.Transform(doc), "[ok]");

  // Documents the style sheet reads itself are refused when they declare a
  // document type, as the program's own loads are.
  Write("inc/dtd.xml", "<!DOCTYPE d [<!ENTITY e \"SECRET\">]><d v=\"&e;\"/>");
  Write("inc/plain.xml", "<d v=\"plain\"/>");
  const QByteArray reader = "<xsl:stylesheet version=\"1.0\" "
                            "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                            "<xsl:output method=\"text\"/><xsl:template match=\"/\">"
                            "[<xsl:value-of select=\"document('inc/plain.xml')/d/@v\"/>]"
                            "[<xsl:value-of select=\"document('inc/dtd.xml')/d/@v\"/>]"
                            "</xsl:template></xsl:stylesheet>";
  TXslTransform documents;
  ASSERT_TRUE(documents.Load(Write("reader.xsl", reader))) << documents.ErrorText().toStdString();
  EXPECT_EQ(documents.Transform(doc), "[plain][]");
}

TEST_F(XmlTest, StyleSheetsCannotWriteFilesOrReachTheNetwork) {
  const QString target = Path("pwned.txt");
  struct Case {
    const char *what;
    QByteArray style;
  };
  const Case cases[] = {
      {"exsl:document",
       "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
       "xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
       "<xsl:template match=\"/\">x<exsl:document href=\"" +
           target.toUtf8() +
           "\" method=\"text\">pwned</exsl:document></xsl:template></xsl:stylesheet>"},
      {"xsl:document",
       "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
       "<xsl:template match=\"/\">x<xsl:document href=\"" +
           target.toUtf8() +
           "\" method=\"text\">pwned</xsl:document></xsl:template></xsl:stylesheet>"},
      {"document() over the network",
       "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
       "<xsl:template match=\"/\"><xsl:value-of select=\"document('http://127.0.0.1:9/x.xml')\"/>"
       "</xsl:template></xsl:stylesheet>"},
  };
  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<a/>"));
  for (const Case &c : cases) {
    TXslTransform xsl;
    ASSERT_TRUE(xsl.LoadFromMemory(c.style)) << c.what << ": " << xsl.ErrorText().toStdString();
    try {
      xsl.Transform(doc);
      ADD_FAILURE() << c.what << " was not refused";
    } catch (const EPtError &e) {
      EXPECT_TRUE(e.Message().contains("refused")) << c.what << ": " << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(target)) << c.what;
  }
}

// Devices and FIFOs never end or never start: every file the XML layer
// reads, itself or for a style sheet, must be a regular one.
TEST_F(XmlTest, DevicesAndFifosAreNeverRead) {
  const QString fifo = Path("fifo.xsl");
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString zero = Path("zero.xml");
  ASSERT_TRUE(QFile::link("/dev/zero", zero));
  THangGuard guard("reading devices and FIFOs as XML");

  for (const QString &file : {fifo, zero}) {
    TXmlDocument doc;
    EXPECT_FALSE(doc.Load(file));
    EXPECT_TRUE(doc.ErrorText().contains("not a file")) << doc.ErrorText().toStdString();
    TXslTransform xsl;
    EXPECT_FALSE(xsl.Load(file));
  }

  const QByteArray head = "<xsl:stylesheet version=\"1.0\" "
                          "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          "<xsl:output method=\"text\"/>";
  const QByteArray documents[] = {"file:///dev/zero", "file://" + QFile::encodeName(zero),
                                  QFile::encodeName(fifo)};
  TXmlDocument input;
  ASSERT_TRUE(input.LoadFromMemory("<a/>"));
  for (const QByteArray &uri : documents) {
    TXslTransform xsl;
    ASSERT_TRUE(xsl.LoadFromMemory(head +
                                   "<xsl:template match=\"/\">[<xsl:value-of "
                                   "select=\"count(document('" +
                                   uri + "')/*)\"/>]</xsl:template></xsl:stylesheet>"));
    try {
      EXPECT_EQ(xsl.Transform(input), "[0]") << uri.toStdString();
    } catch (const EPtError &) {
      // Refusing the transformation is as good as an empty document.
    }
  }
  TXslTransform including;
  const QString main = Write("main.xsl", head + "<xsl:include href=\"fifo.xsl\"/>"
                                                "</xsl:stylesheet>");
  EXPECT_FALSE(including.Load(main));
}

TEST_F(XmlTest, TransformLeavesItsInputAlone) {
  TXslTransform xsl;
  ASSERT_TRUE(xsl.LoadFromMemory("<xsl:stylesheet version=\"1.0\" "
                                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                 "<xsl:output method=\"text\"/><xsl:strip-space elements=\"*\"/>"
                                 "<xsl:template match=\"/\">done</xsl:template></xsl:stylesheet>"));
  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<r> <a/> </r>"));
  const QByteArray before = doc.SaveToBytes("UTF-8");
  EXPECT_EQ(xsl.Transform(doc), "done");
  EXPECT_EQ(doc.SaveToBytes("UTF-8"), before);
}

TEST_F(XmlTest, BadStyleSheetsAndInputsAreReported) {
  struct Case {
    const char *what;
    QByteArray style;
  };
  const Case cases[] = {
      {"not well-formed", "<xsl:stylesheet"},
      {"not a style sheet", "<a/>"},
      {"broken XPath", "<xsl:stylesheet version=\"1.0\" "
                       "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template "
                       "match=\"/\"><xsl:value-of select=\"((\"/></xsl:template></xsl:stylesheet>"},
  };
  for (const Case &c : cases) {
    TXslTransform xsl;
    EXPECT_FALSE(xsl.LoadFromMemory(c.style)) << c.what;
    EXPECT_FALSE(xsl.IsLoaded()) << c.what;
    EXPECT_FALSE(xsl.ErrorText().isEmpty()) << c.what;
  }
  TXslTransform xsl;
  EXPECT_FALSE(xsl.Load(Path("missing.xsl")));
  EXPECT_TRUE(xsl.ErrorText().contains("missing.xsl"));
  TXmlDocument doc;
  ASSERT_TRUE(doc.LoadFromMemory("<a/>"));
  EXPECT_THROW(xsl.Transform(doc), EPtError);

  ASSERT_TRUE(xsl.LoadFromMemory(kDataStyle));
  EXPECT_THROW(xsl.Transform(TXmlDocument()), EPtError);
  EXPECT_THROW(xsl.TransformElement(TXmlElement()), EPtError);
  // xsl:message terminate="yes" stops the transformation.
  ASSERT_TRUE(xsl.LoadFromMemory("<xsl:stylesheet version=\"1.0\" "
                                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                 "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop "
                                 "here</xsl:message></xsl:template></xsl:stylesheet>"));
  try {
    xsl.Transform(doc);
    ADD_FAILURE() << "terminate was ignored";
  } catch (const EPtError &e) {
    EXPECT_TRUE(e.Message().contains("stop here")) << e.what();
  }
}

} // namespace
