#include "pipeline/databinary.h"
#include "pipeline/databinary9bits.h"
#include "pipeline/datalog.h"
#include "pipeline/datanetitems.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/datapelmar97.h"
#include "recordingview.h"

#include <QImage>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

class Queue : public ::testing::Test {
protected:
  void SetUp() override {
    VexlinDataObjects_Initialize();
    RegisterVexlinDataObjectClasses();
  }
  void TearDown() override { VexlinDataObjects_Finalize(); }

  std::vector<TVexlinDataObject *> PopAll() {
    std::vector<TVexlinDataObject *> out;
    TVexlinDataObject *chain = nullptr;
    if (VexlinDataObject_POP(chain)) {
      EXPECT_EQ(chain->PrevDataObj, nullptr);
      for (TVexlinDataObject *o = chain; o; o = o->NextDataObj)
        out.push_back(o);
    }
    popped.push_back(chain);
    return out;
  }
  ~Queue() override {
    for (TVexlinDataObject *chain : popped)
      FreeDataObjectChain(chain);
  }
  std::vector<TVexlinDataObject *> popped;
};

TEST_F(Queue, OneNotificationPerBatchAndPushOrder) {
  int notifications = 0;
  TVexlinDataObject *a = new TVexlinDataLog("a", 0);
  TVexlinDataObject *b = new TVexlinDataBinary("b", spTx);
  TVexlinDataObject *c = new TVexlinDataBinary("c", spRx);
  c->Time = 42.5;
  a->Push(); // no target yet: queued silently
  VexlinDataObject_SetTarget([&] { ++notifications; });
  EXPECT_EQ(notifications, 1) << "a new target hears of what already waits";
  b->Push();
  c->Push();
  EXPECT_EQ(notifications, 1) << "the queue was not empty";
  auto objects = PopAll();
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0], a);
  EXPECT_EQ(objects[1], b);
  EXPECT_EQ(objects[2], c);
  EXPECT_GT(b->Time, 40000.0) << "a push stamps the current time";
  EXPECT_EQ(c->Time, 42.5) << "a preset time stays";
  EXPECT_FALSE(PopAll().size());

  (new TVexlinDataLog("d", 0))->Push();
  (new TVexlinDataLog("e", 0))->Push();
  EXPECT_EQ(notifications, 2);
}

TEST_F(Queue, ManyThreadsPushWhileMainPopsNothingLostPerThreadOrderKept) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 20000;
  std::atomic<int> notifications{0};
  VexlinDataObject_SetTarget([&] { ++notifications; });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) {
        auto *o = new TVexlinDataBinary(QByteArray::number(t) + ':' + QByteArray::number(i), spRx);
        o->Push();
      }
    });
  }
  int next[kThreads] = {};
  int received = 0;
  int batches = 0;
  while (received < kThreads * kPerThread) {
    TVexlinDataObject *chain = nullptr;
    if (!VexlinDataObject_POP(chain))
      continue;
    ++batches;
    for (TVexlinDataObject *o = chain; o; o = o->NextDataObj) {
      const QList<QByteArray> parts = static_cast<TVexlinDataBinary *>(o)->Data.split(':');
      const int t = parts[0].toInt();
      ASSERT_EQ(parts[1].toInt(), next[t]) << "thread " << t << " out of order";
      ++next[t];
      ++received;
    }
    FreeDataObjectChain(chain);
  }
  for (auto &th : threads)
    th.join();
  EXPECT_EQ(received, kThreads * kPerThread);
  EXPECT_EQ(notifications.load(), batches) << "one notification for each batch taken";
}

TEST_F(Queue, FinalizeDestroysQueuedObjects) {
  static int destroyed = 0;
  struct Counted : TVexlinDataLog {
    ~Counted() override { ++destroyed; }
  };
  destroyed = 0;
  (new Counted)->Push();
  (new Counted)->Push();
  VexlinDataObjects_Finalize();
  EXPECT_EQ(destroyed, 2);
  TVexlinDataObject *chain = nullptr;
  EXPECT_FALSE(VexlinDataObject_POP(chain));
  EXPECT_TRUE(VexlinDataObjectClasses().empty());
}

TEST(DataObject, DestroyingTheMiddleOfAChainLinksItsNeighbours) {
  auto *a = new TVexlinDataLog, *b = new TVexlinDataLog, *c = new TVexlinDataLog;
  a->NextDataObj = b;
  b->PrevDataObj = a;
  b->NextDataObj = c;
  c->PrevDataObj = b;
  delete b;
  EXPECT_EQ(a->NextDataObj, c);
  EXPECT_EQ(c->PrevDataObj, a);
  FreeDataObjectChain(a);
}

TEST(Registry, TokensInOrderExactClassAndCaseSensitive) {
  ClearDataObjectClasses();
  RegisterVexlinDataObjectClasses();
  RegisterVexlinDataObjectClasses(); // a second call must not register twice
  const char *tokens[] = {"bin", "log", "lsi", "s97", "arp", "9bt", "nif", "mbs"};
  ASSERT_EQ(VexlinDataObjectClasses().size(), std::size(tokens));
  for (size_t i = 0; i < std::size(tokens); ++i) {
    EXPECT_EQ(VexlinDataObjectClasses()[i].doSign, tokens[i]);
    // The virtual constructor makes an object of exactly the registered class.
    std::unique_ptr<TVexlinDataObject> o(VexlinDataObjectClasses()[i].doClass->Create());
    EXPECT_EQ(o->ClassType(), VexlinDataObjectClasses()[i].doClass);
  }
  QByteArray sign;
  EXPECT_TRUE(GetDataObjectSign(ClassOf<TVexlinDataBinary_Pelmar97>(), sign));
  EXPECT_EQ(sign, "s97");
  EXPECT_FALSE(GetDataObjectSign(ClassOf<TVexlinDataObject>(), sign));
  TVexlinDataObjectClass kind = nullptr;
  EXPECT_TRUE(GetDataObjectClass("arp", kind));
  EXPECT_EQ(kind, ClassOf<TVexlinDataArpTableItem>());
  EXPECT_FALSE(GetDataObjectClass("BIN", kind));
  ClearDataObjectClasses();
}

// --- links -----------------------------------------------------------------

struct LinkOwner {
  void Clicked(TVexlinDataObject *sender) { clicks.push_back(sender); }
  void Other(TVexlinDataObject *) {}
  std::vector<TVexlinDataObject *> clicks;
};

struct Menu : TVexlinMenu {
  void AddItem(const QString &caption, std::function<void()> onClick, bool isDefault) override {
    items.push_back({caption, std::move(onClick), isDefault});
  }
  struct Item {
    QString caption;
    std::function<void()> onClick;
    bool isDefault;
  };
  std::vector<Item> items;
};

TEST(LinkMenu, AddRemoveByCallbackIdentity) {
  TVexlinDataObject_WithMenu item;
  LinkOwner owner, stranger;
  EXPECT_EQ(item.AddLinkMenu("Copy", TLinkNotifyEvent::Bind<&LinkOwner::Clicked>(&owner)), 0);
  EXPECT_EQ(item.AddLinkMenu("Delete", TLinkNotifyEvent::Bind<&LinkOwner::Other>(&owner)), 1);
  const TLinkMenuItem &first = item.fLinkMenu[0];
  EXPECT_TRUE(first.InRow && first.InPopUp && !first.DontDraw && !first.isMouseOver);
  EXPECT_EQ(first.CursorOver, crHandPoint);
  EXPECT_EQ(first.Rect, QRect(QPoint(0, 0), QPoint(0, 0)));

  EXPECT_FALSE(item.RemoveLinkMenu(TLinkNotifyEvent::Bind<&LinkOwner::Clicked>(&stranger)));
  EXPECT_EQ(item.fLinkMenu.size(), 2u);
  EXPECT_TRUE(item.RemoveLinkMenu(TLinkNotifyEvent::Bind<&LinkOwner::Clicked>(&owner)));
  ASSERT_EQ(item.fLinkMenu.size(), 1u);
  EXPECT_EQ(item.fLinkMenu[0].Caption, "Delete");
}

TEST(LinkMenu, MouseTrackingClickAndContextMenu) {
  TRecordingView view;
  TVexlinDataObject_WithMenu item;
  LinkOwner owner;
  item.AddLinkMenu("Hidden", TLinkNotifyEvent::Bind<&LinkOwner::Other>(&owner));
  item.fLinkMenu[0].DontDraw = true;
  item.AddLinkMenu("Ping", TLinkNotifyEvent::Bind<&LinkOwner::Clicked>(&owner));
  item.AddLinkMenu("Web", TLinkNotifyEvent::Bind<&LinkOwner::Other>(&owner));

  QImage image(600, 20, QImage::Format_RGB32);
  QPainter painter(&image);
  TVexlinPaintInfo info;
  info.Canvas = &painter;
  info.ContentRect = QRect(0, 0, 600, 20);
  item.DrawNodeMenu(view, info, 100);
  painter.end();
  const QRect ping = item.fLinkMenu[1].Rect;
  const QRect web = item.fLinkMenu[2].Rect;
  EXPECT_EQ(item.fLinkMenu[0].Rect, QRect(QPoint(0, 0), QPoint(0, 0))) << "hidden link not drawn";
  EXPECT_EQ(ping.left(), 100);
  EXPECT_GT(ping.right(), 100);
  EXPECT_EQ(web.left(), ping.right() + 10);

  auto *node = reinterpret_cast<TVexlinNode *>(0x10);
  item.DoMouseMove(view, node, {}, ping.left() + 1, 5);
  EXPECT_TRUE(item.fLinkMenu[1].isMouseOver);
  EXPECT_EQ(view.cursors.back(), crHandPoint);
  EXPECT_EQ(view.invalidatedNodes.size(), 1u);
  item.DoMouseMove(view, node, {}, ping.left() + 1, 5);
  EXPECT_EQ(view.invalidatedNodes.size(), 1u) << "no repaint when nothing changed";
  item.DoMouseMove(view, node, {}, ping.left(), 5);
  EXPECT_FALSE(item.fLinkMenu[1].isMouseOver) << "the left edge itself is outside";
  item.DoMouseMove(view, node, {}, ping.left() + 1, 5);

  item.DoMouseDown(view, Qt::RightButton, {}, 0, 0);
  EXPECT_TRUE(owner.clicks.empty());
  item.DoMouseDown(view, Qt::LeftButton, {}, 0, 0);
  ASSERT_EQ(owner.clicks.size(), 1u);
  EXPECT_EQ(owner.clicks[0], &item);

  Menu menu;
  item.PrepareMenu(menu);
  ASSERT_EQ(menu.items.size(), 3u) << "the hidden link is still in the menu";
  EXPECT_FALSE(menu.items[0].isDefault);
  EXPECT_TRUE(menu.items[1].isDefault) << "the link under the mouse is the default entry";
  menu.items[1].onClick();
  EXPECT_EQ(owner.clicks.size(), 2u);

  item.DoMouseLeave(&view, node);
  EXPECT_FALSE(item.fLinkMenu[1].isMouseOver);
  EXPECT_EQ(view.cursors.back(), crDefault);
  EXPECT_EQ(view.infoWindowHides, 1);
}

TEST(DataObject, BaseDrawsDiagonalAndDefaultHeight) {
  TRecordingView view;
  TVexlinDataBinary9Bits object;
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  TVexlinPaintInfo info{&painter, nullptr, QRect(0, 0, 10, 10), QRect(0, 0, 10, 10), 0};
  object.DrawNode(view, info);
  painter.end();
  EXPECT_EQ(object.ParentVDT, &view);
  EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(8, 1), QColor(Qt::white));
  int height = 0;
  object.MeasureHeight(view, nullptr, nullptr, height);
  EXPECT_EQ(height, 16);
  EXPECT_TRUE(object.GetText4Save().isEmpty());
}

TEST(DataObject, CopyDataRepaintsTheParentView) {
  TRecordingView view;
  TVexlinDataBinary packet("ab", spTx);
  EXPECT_EQ(packet.Direction, spTx);
  packet.ParentVDT = &view;
  packet.CopyData("xyz");
  EXPECT_EQ(packet.Data, "xyz");
  EXPECT_EQ(view.wholeInvalidations, 1);
}

} // namespace
