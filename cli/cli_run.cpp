#include "cli/cli_run.h"

#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "common/error_text.h"
#include "pipeline/conversion_job.h"
#include "pipeline/mcl_translations.h"

#include <ostream>

namespace {

void printError(std::ostream& err, const char* message) {
    err << withFullStop(QString::fromUtf8(message)).toStdString() << '\n' << std::flush;
}

} // namespace

int runCli(const QStringList& arguments, const ConversionLibraries& libraries, AcmLibrary& acm,
           std::ostream& out, std::ostream& err) {
    const CliParseResult parsed = parseCliArguments(arguments);
    if (parsed.kind == CliParseResult::Help) {
        out << cliUsageText().toStdString() << std::flush;
        return kExitCompleted;
    }
    if (parsed.kind == CliParseResult::UsageError) {
        err << parsed.error.toStdString() << '\n' << cliUsageText().toStdString() << std::flush;
        return kExitUsage;
    }
    try {
        applyMclTranslations(libraries.mcl);
        ConversionSettings settings;
        settings.destination = parsed.options.destination;
        settings.sources = parsed.options.sources;
        settings.sampleRateText = parsed.options.sampleRate;
        settings.bitRateText = parsed.options.bitRate;
        settings.internalDecoder = parsed.options.internalDecoder;
        ConsoleHost host(settings, acm, out, err);
        ConversionJob job(host, libraries);
        host.setStopAction([&] {
            host.setStopRequested(true);
            job.CancelConversion();
        });
        job.RunConversion();
        return host.completed() ? kExitCompleted : kExitFailed;
    } catch (const std::exception& error) {
        printError(err, error.what());
    } catch (...) {
        printError(err, "Unbekannter Fehler");
    }
    return kExitFailed;
}
