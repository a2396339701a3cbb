// What a huge description costs the user: from the main window's creation to the
// window shown and idle, and from the click on the component to its detail panel shown,
// for a catalogue whose first component holds a 20 MB description (10,000 lines of
// 2,047 characters, the most the info-file reader gives), side by side with the same
// catalogue holding an ordinary description (the floor). Offscreen; medians of RUNS.
//   large-memo-bench [RUNS]
#include "bench_timing.h"
#include "browser/component_detail_panel.h"
#include "browser/form_main.h"
#include "catalogue/data_module.h"
#include "catalogue/table.h"
#include "support/largest_description.h"
#include "widgets/db_rich_edit.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <memory>

using namespace velm;
using namespace velm::bench;

namespace {


// A catalogue of one category with 100 components; the first holds the description.
std::unique_ptr<QTemporaryDir> MakeCatalogue(const QString& description) {
    auto dir = std::make_unique<QTemporaryDir>();
    CreateCatalogue(dir->filePath(QStringLiteral("dbase")), {QStringLiteral("Installed")});
    TDMvelm module(dir->path());
    DMvelm = &module;
    module.Open();
    TTable& categories = *module.TableCategory;
    categories.Append();
    categories.FieldByName(QStringLiteral("Name"))->SetAsString(QStringLiteral("Tools"));
    categories.Post();
    const int category = categories.FieldByName(QStringLiteral("ID"))->AsInteger();
    TTable& packages = *module.TableCPInfo;
    for (int i = 0; i < 100; ++i) {
        packages.Append();
        packages.FieldByName(QStringLiteral("ProductName"))->SetAsString(QStringLiteral("Package %1").arg(i, 3, 10, QLatin1Char('0')));
        packages.FieldByName(QStringLiteral("Category"))->SetAsInteger(category);
        packages.FieldByName(QStringLiteral("ProductDescription"))
            ->SetAsString(i == 0 ? description : QStringLiteral("An ordinary description."));
        packages.Post();
    }
    DMvelm = nullptr;
    return dir;
}

struct Sample {
    double startMs = 0;
    double clickMs = 0;
};

// Window made, shown and idle; then the click on the first component and the panel
// shown with its description.
Sample Measure(const QString& folder) {
    Sample sample;
    TDMvelm module(folder);
    DMvelm = &module;
    module.Open();
    {
        const Stopwatch start;
        TFormMain window(folder);
        window.show();
        QCoreApplication::processEvents();
        sample.startMs = start.WallMs();
        QTreeWidget* tree = window.TreeViewCategories();
        tree->expandAll();
        QCoreApplication::processEvents();
        QTreeWidgetItem* first = tree->topLevelItem(0)->child(0);
        const QPoint at = tree->visualItemRect(first).center();
        const Stopwatch click;
        QMouseEvent press(QEvent::MouseButtonPress, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &release);
        QCoreApplication::processEvents();
        sample.clickMs = click.WallMs();
        if (!window.DetailPanel()->isVisible() ||
            window.findChild<TDBRichEdit*>(QStringLiteral("DBRichEditDescription"))->document()->isEmpty())
            std::fprintf(stderr, "the description was not shown\n");
        window.close();
    }
    DMvelm = nullptr;
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ConsolePresenter presenter;
    SetMessagePresenter(&presenter);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    const auto huge = MakeCatalogue(velm::test::LargestDescription());
    const auto plain = MakeCatalogue(QStringLiteral("An ordinary description."));
    std::vector<double> hugeStart, hugeClick, plainStart, plainClick;
    for (int i = 0; i < runs; ++i) {
        const Sample h = Measure(huge->path());
        const Sample p = Measure(plain->path());
        hugeStart.push_back(h.startMs);
        hugeClick.push_back(h.clickMs);
        plainStart.push_back(p.startMs);
        plainClick.push_back(p.clickMs);
    }
    std::printf("large-memo-bench: medians of %d runs (ms)\n", runs);
    std::printf("%-34s %10s %10s %8s\n", "", "20 MB memo", "floor", "ratio");
    std::printf("%-34s %10.1f %10.1f %8.2f\n", "window made to shown and idle", Median(hugeStart), Median(plainStart),
                Median(hugeStart) / std::max(0.01, Median(plainStart)));
    std::printf("%-34s %10.1f %10.1f %8.2f\n", "click to the panel shown", Median(hugeClick), Median(plainClick),
                Median(hugeClick) / std::max(0.01, Median(plainClick)));
    return 0;
}
