#include "FakePlatform.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace qvx::launcher::test {

std::string FakePlatform::MakeTempArchiveName() {
    const std::string name = tempDirectory + "QVX" + std::to_string(++tempNamesMade) + ".tmp";
    std::ofstream(name, std::ios::binary);  // created new and empty, as the system does
    return name;
}

RunResult FakePlatform::RunAndWait(const EngineCommand& command) {
    runs.push_back(command);
    std::ifstream in(command.Program, std::ios::binary);
    engineBytesAtStart.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return runResult;
}

void FakePlatform::RemoveFile(const std::string& path) {
    removed.push_back(path);
    std::remove(path.c_str());
}

}  // namespace qvx::launcher::test
