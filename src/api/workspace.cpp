#include "api/workspace.hpp"

namespace ngtherm::api {

Workspace& thread_workspace() {
    // One per thread by design: the calls are re-entrant across threads
    // while each thread keeps its own cache between calls.
    thread_local Workspace workspace;
    return workspace;
}

}  // namespace ngtherm::api
