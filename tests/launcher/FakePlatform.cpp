#include "FakePlatform.h"

namespace qvx::launcher::test {

RunResult FakePlatform::RunAndWait(const EngineCommand& command, LauncherFile& engine) {
    runs.push_back(command);
    engineOpenAtStart = engine.IsOpen();
    std::string bytes;
    if (engine.IsOpen()) {
        engine.SetPosition(0);
        char buffer[4096];
        for (std::int32_t n; (n = engine.Read(buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
    }
    engineBytesAtStart.push_back(bytes);
    if (runResult.Started) engine.Close();
    return runResult;
}

}  // namespace qvx::launcher::test
