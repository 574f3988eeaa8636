#include "app/HeadlessCommands.h"
#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "app/StartupTexts.h"
#include "app/UnattendedOperator.h"
#include "app/WidgetOperator.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    // --stats, --report, --help and --version need no screen and end at once.
    if (ProgramOptions::asksHeadless(rawArguments)) {
        QString error;
        const std::optional<ProgramOptions> headless = ProgramOptions::parse(rawArguments, &error);
        if (!headless) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        return HeadlessCommands::Run(*headless, argc, argv);
    }
    // Say so plainly instead of leaving it to the platform plugin's error.
    if (!ProgramOptions::displayAvailable([](const char* name) { return qEnvironmentVariable(name); },
                                          rawArguments)) {
        std::fprintf(stderr, "%s\n", qPrintable(StartupTexts::NoDisplay));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(ProductIdentity::Organisation);
    QApplication::setApplicationName(ProductIdentity::AppTitle);
    QApplication::setApplicationVersion(ProductIdentity::PredefinedVersion);

    QString error;
    const std::optional<ProgramOptions> options =
        ProgramOptions::parse(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    std::unique_ptr<Operator> op;
    WidgetOperator* windows = nullptr;
    if (options->unattended) {
        op = std::make_unique<UnattendedOperator>();
    } else {
        auto widgetOperator = std::make_unique<WidgetOperator>();
        windows = widgetOperator.get();
        op = std::move(widgetOperator);
    }

    Program program(*options, std::move(op));
    program.endOnTerminationSignals();
    if (windows)
        program.setMainWindowListener([windows](QWidget* main) { windows->setMainWindow(main); });
    if (program.start() == Program::Started::SecondInstance)
        return 1;
    return QApplication::exec();
}
