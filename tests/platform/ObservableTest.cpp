#include "platform/Observable.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

class Store : public QObject {
    Q_OBJECT
public:
    int count() const { return m_count; }
    void setCount(int value)
    {
        snapkin::platform::publish(this, m_count, value, &Store::countChanged);
    }

signals:
    void willChange();
    void countChanged(const int& value);

private:
    int m_count = 1;
};

} // namespace

TEST(Observable, WillChangeThenNewValueThenStored)
{
    Store store;
    QStringList order;
    QObject::connect(&store, &Store::willChange,
                     [&] { order << QString("will:%1").arg(store.count()); });
    QObject::connect(&store, &Store::countChanged, [&](const int& value) {
        order << QString("changed:%1 stored:%2").arg(value).arg(store.count());
    });
    store.setCount(5);
    EXPECT_EQ(order, (QStringList{"will:1", "changed:5 stored:1"}));
    EXPECT_EQ(store.count(), 5);
}

TEST(Observable, SubscriberReceivesCurrentValueFirst)
{
    Store store;
    store.setCount(3);
    QObject context;
    std::vector<int> seen;
    snapkin::platform::subscribe(&store, &Store::count, &Store::countChanged, &context,
                                 [&](const int& value) { seen.push_back(value); });
    store.setCount(4);
    EXPECT_EQ(seen, (std::vector<int>{3, 4}));
}

#include "ObservableTest.moc"
