// Stands in for the conversion job while its code is not part of the tree, so the window's
// tests that need no real conversion link. Tests of a real run are skipped meanwhile.
#include "pipeline/conversion_job.h"

#include "pipeline/conversion_host.h"
#include "platform/mcl/mcl_library.h"

ConversionJob::ConversionJob(ConversionHost& conversionHost, ConversionLibraries libraries)
    : host(conversionHost), libs(libraries) {}

void ConversionJob::RunConversion() {
    if (active)
        return;
    active = true;
    host.setStopRequested(false);
    active = false;
}

void ConversionJob::CancelConversion() {
    libs.mcl.MclAbort(0);
}
