#pragma once

#include <QWidget>

#include <mutex>
#include <vector>

#include "link/FoundInstrument.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kvt::link {

class InstrumentSearch;

// The instruments found, one row each (maker, model, serial, address),
// with the state of the search above them: "Searching…", then the rows, or
// "No instruments found". The search runs on its own thread, so the
// window stays live; "Search again" starts a new one. Choosing a row
// announces it; a double-click (or Enter) on a row asks to connect to it.
class CInstrumentList : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMakerColumn = 0;
    static constexpr int kModelColumn = 1;
    static constexpr int kSerialColumn = 2;
    static constexpr int kAddressColumn = 3;

    // `search` outlives this list; nullptr shows the list with no search.
    explicit CInstrumentList(InstrumentSearch* search, QWidget* parent = nullptr);
    ~CInstrumentList() override;

    void Search();
    bool Searching() const { return m_searching; }
    const std::vector<FoundInstrument>& Found() const { return m_found; }

    QTreeWidget* Rows() const { return m_rows; }
    QLabel* Status() const { return m_status; }
    QPushButton* SearchAgainButton() const { return m_searchAgain; }

signals:
    void Chosen(const kvt::link::FoundInstrument& instrument);
    void Activated(const kvt::link::FoundInstrument& instrument);
    void SearchFinished();

private slots:
    // Shows what the search left in the mailbox.
    void TakeFound();

private:
    void Show(std::vector<FoundInstrument> found);
    const FoundInstrument* InstrumentOf(const QTreeWidgetItem* item) const;

    InstrumentSearch* m_search = nullptr;
    // The search's answer, left by its thread under the lock. The search
    // calls back only while this list lives (it forgets the call back,
    // waiting for one under way, when the list goes).
    std::mutex m_mailboxMutex;
    std::vector<FoundInstrument> m_mailbox;
    std::vector<FoundInstrument> m_found;
    bool m_searching = false;
    QTreeWidget* m_rows = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_searchAgain = nullptr;
};

}  // namespace kvt::link
