#include "session/download_session.h"

#include "session/session_controller.h"

namespace zel {

std::unique_ptr<DownloadSession> MakeProgramSession(DialogPort& port) {
    return std::make_unique<SessionController>(port);
}

}  // namespace zel
