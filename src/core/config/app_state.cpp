#include "core/config/app_state.h"

#include "core/platform/cp932.h"

namespace quillrun {

void AppState::SetStartPage(const std::string& address) {
    settings.startpage = CutToWidth(address, kPathWidth);
}

AppState& App() {
    static AppState state;
    return state;
}

}  // namespace quillrun
