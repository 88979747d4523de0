#include "filter/filters.h"

#include "filter/scan_log.h"
#include "platform/files.h"

namespace vagliante {

void FilterActivation(const std::string& source, const std::string&, Progress& progress) {
    progress.SetValue(kProgressEmpty);
    WorkFile work;
    ScanLog(source, kActivationMarker, work, progress);
}

void FilterUpdate(const std::string& source, const std::string&, Progress& progress) {
    progress.SetValue(kProgressEmpty);
    WorkFile work;
    ScanLog(source, kUpdateMarker, work, progress);
}

}  // namespace vagliante
