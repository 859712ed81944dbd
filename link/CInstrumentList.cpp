#include "link/CInstrumentList.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "link/InstrumentSearch.h"

namespace kvt::link {
namespace {

constexpr int kIndexRole = Qt::UserRole;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CInstrumentList::CInstrumentList(InstrumentSearch* search, QWidget* parent)
    : QWidget(parent), m_search(search) {
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_searchAgain = new QPushButton(QStringLiteral("Search again"), this);
    m_searchAgain->setAutoDefault(false);
    connect(m_searchAgain, &QPushButton::clicked, this, &CInstrumentList::Search);

    m_rows = new QTreeWidget(this);
    m_rows->setObjectName(QStringLiteral("instrumentRows"));
    m_rows->setHeaderLabels({QStringLiteral("Maker"), QStringLiteral("Model"),
                             QStringLiteral("Serial"), QStringLiteral("Address")});
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true);
    m_rows->setAllColumnsShowFocus(true);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->header()->setStretchLastSection(true);
    m_rows->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_rows->setMinimumHeight(120);
    m_rows->setTextElideMode(Qt::ElideMiddle);
    // The user's choice only: rows arriving select nothing.
    connect(m_rows, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (const FoundInstrument* found = InstrumentOf(item)) {
            emit Chosen(*found);
        }
    });
    connect(m_rows, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem* /*previous*/) {
                const FoundInstrument* found = InstrumentOf(item);
                if (found != nullptr && m_rows->hasFocus()) {
                    emit Chosen(*found);
                }
            });
    connect(m_rows, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (const FoundInstrument* found = InstrumentOf(item)) {
            emit Activated(*found);
        }
    });

    // Alt+I takes the keyboard to the rows.
    auto* title = new QLabel(QStringLiteral("&Instruments:"), this);
    title->setBuddy(m_rows);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(title);
    top->addSpacing(8);
    top->addWidget(m_status, 1);
    top->addWidget(m_searchAgain);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_rows, 1);
}

CInstrumentList::~CInstrumentList() {
    // Also when the answer has been shown: Forget() waits for the search's
    // call back, so that it has let go of this list before the list goes.
    if (m_search != nullptr) {
        m_search->Forget();
    }
}

void CInstrumentList::Search() {
    if (m_search == nullptr || m_searching) {
        return;
    }
    m_searching = true;
    m_found.clear();
    m_rows->clear();
    m_status->setText(QStringLiteral("Searching…"));
    m_searchAgain->setEnabled(false);
    m_search->Start([this](std::vector<FoundInstrument> found) {
        // On the search's thread: left in the mailbox, shown on this
        // list's own thread.
        {
            std::lock_guard<std::mutex> lock(m_mailboxMutex);
            m_mailbox = std::move(found);
        }
        QMetaObject::invokeMethod(this, "TakeFound", Qt::QueuedConnection);
    });
}

void CInstrumentList::TakeFound() {
    std::vector<FoundInstrument> found;
    {
        std::lock_guard<std::mutex> lock(m_mailboxMutex);
        found.swap(m_mailbox);
    }
    Show(std::move(found));
}

void CInstrumentList::Show(std::vector<FoundInstrument> found) {
    m_searching = false;
    m_found = std::move(found);
    m_rows->clear();
    for (size_t i = 0; i < m_found.size(); ++i) {
        const FoundInstrument& instrument = m_found[i];
        const QString address = instrument.protocol == ConnectionProtocol::Vxi11
                                    ? Text(instrument.address)
                                    : Text(instrument.resource);
        auto* item = new QTreeWidgetItem(m_rows, {Text(instrument.maker), Text(instrument.model),
                                                  Text(instrument.serial), address});
        item->setData(0, kIndexRole, static_cast<int>(i));
        item->setToolTip(kAddressColumn, Text(instrument.resource));
        if (!instrument.answered) {
            item->setText(kMakerColumn, QStringLiteral("(no answer)"));
        }
    }
    for (int column = 0; column < kAddressColumn; ++column) {
        m_rows->resizeColumnToContents(column);
    }
    if (m_found.empty()) {
        m_status->setText(QStringLiteral("No instruments found"));
    } else if (m_found.size() == 1) {
        m_status->setText(QStringLiteral("1 instrument found"));
    } else {
        m_status->setText(QStringLiteral("%1 instruments found").arg(m_found.size()));
    }
    m_searchAgain->setEnabled(true);
    emit SearchFinished();
}

const FoundInstrument* CInstrumentList::InstrumentOf(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return nullptr;
    }
    bool ok = false;
    const int index = item->data(0, kIndexRole).toInt(&ok);
    if (!ok || index < 0 || static_cast<size_t>(index) >= m_found.size()) {
        return nullptr;
    }
    return &m_found[static_cast<size_t>(index)];
}

}  // namespace kvt::link
