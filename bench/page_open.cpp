// Parameter pages against kaldo-sim: the time from a page's creation to every row showing the
// switcher's value (its requests answered over the pseudo-terminal, each answer decoded as it
// arrives), one benchmark per page; and 1,000 page switches in a scroll area, which must leave
// memory and the session's observers where they were. Runs offscreen.
#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "KdPrmView.h"
#include "LPrmObserverList.h"
#include "LSerialPort.h"
#include "SimProcess.h"

#include <QApplication>
#include <QScrollArea>
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>

namespace {

CKdPrmManager* gSession = nullptr;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(256, '\n');
    }
    return 0;
}

int ObserverCount() {
    return gSession->ObserverListWithObserver(nullptr)->Count();
}

void PageOpen(benchmark::State& state, const CKdPageCatalogue::_SPage* page) {
    for (auto _ : state) {
        KdPrmView view(page);
        view.setPrmManager(gSession);
        // Each answer is decoded as soon as it arrives, as the window's loop does; the loop's
        // other events (layout and polish of the new rows) are left out, as they always were.
        while (view.isReading()) {
            gSession->DeviceStream()->WaitReadable(CKdPrmManager::kRequestWaitMs);
            gSession->Service();
        }
        benchmark::DoNotOptimize(view.height());
    }
}

void PageSwitches(benchmark::State& state) {
    QScrollArea area;
    area.resize(420, 480);
    area.show();
    const auto pages = CKdPageCatalogue::Pages();
    auto switchPages = [&](int count) {
        for (int i = 0; i < count; ++i) {
            auto* view = new KdPrmView(&pages[i % pages.size()]);
            view->setPrmManager(gSession);
            area.setWidget(view); // deletes the page before
            while (view->isReading())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QCoreApplication::processEvents();
        }
    };
    // Counted with no page shown, so that no page's own widgets are in the figures.
    auto clear = [&] {
        area.setWidget(new QWidget);
        QCoreApplication::processEvents();
    };
    for (auto _ : state) {
        switchPages(100); // allocator and caches warmed
        clear();
        const long rssBefore = ResidentKiB();
        const int observersBefore = ObserverCount();
        const int widgetsBefore = QApplication::allWidgets().size();
        switchPages(1000);
        clear();
        state.counters["rss_growth_KiB"] = double(ResidentKiB() - rssBefore);
        state.counters["observer_growth"] = double(ObserverCount() - observersBefore);
        state.counters["widget_growth"] = double(QApplication::allWidgets().size() - widgetsBefore);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    SimProcess sim({"--serial", "K1BENCH001"});
    auto* port = new LSerialPort(sim.Tty().c_str());
    port->SetSpeed(115200);
    CKdPrmManager session;
    if (sim.Tty().empty() || !port->Open()) {
        fprintf(stderr, "page_open: kaldo-sim did not start\n");
        return 1;
    }
    session.SetDeviceStream(port);
    LObject::ReleaseObject(port);
    for (int attempt = 0; attempt < 10 && !session.IsOnline(); ++attempt) {
    }
    gSession = &session;

    for (const CKdPageCatalogue::_SPage& page : CKdPageCatalogue::Pages())
        benchmark::RegisterBenchmark((std::string("PageOpen/") + page.mClassName).c_str(), PageOpen,
                                     &page)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("PageSwitches1000", PageSwitches)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    session.SetDeviceStream(nullptr);
    return 0;
}
