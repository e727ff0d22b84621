// kvman-sim: a simulated security key that speaks the backend's command language on
// standard input and output. See README.md next to this file.
#include "controlclient.h"
#include "controlcommands.h"
#include "controlserver.h"
#include "devicefeature.h"
#include "eventloop.h"
#include "fidofeature.h"
#include "otpfeature.h"
#include "pivfeature.h"
#include "simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

void addFeatures(Key& key)
{
    key.addFeature(std::make_unique<DeviceFeature>(key));
    key.addFeature(std::make_unique<FidoFeature>(key));
    key.addFeature(std::make_unique<OtpFeature>(key));
    key.addFeature(std::make_unique<PivFeature>(key));
    // Each application of the key adds its feature here, one line each.
}

int keysAtStart()
{
    const std::string keys = env("KVSIM_KEYS");
    return keys == "0" ? 0 : keys == "2" ? 2 : 1;
}

void printHelp()
{
    Key key(Model::defaultModel());
    addFeatures(key);
    Output nowhere(-1);
    Simulator simulator(key, nowhere, nullptr, nullptr);
    simulator.addFeatureCommands();
    ControlCommands controlCommands(simulator);
    controlCommands.addTo(simulator.controls());

    std::printf("kvman-sim: a simulated security key speaking the backend language on stdin/stdout.\n\n"
                "Usage: kvman-sim [ignored arguments]      run as the backend\n"
                "       kvman-sim --control <socket> <words...>  send one control command, print the reply\n"
                "       kvman-sim --help\n\n"
                "Environment:\n"
                "  KVSIM_MODEL    model of a new key (default R15)\n"
                "  KVSIM_CONTROL  path of the control socket to listen on\n"
                "  KVSIM_LOG      file that receives every command line as received\n"
                "  KVSIM_STATE    file that keeps the key across restarts (it wins over KVSIM_MODEL)\n"
                "  KVSIM_KEYS     keys present at start: 0, 1 (default) or 2\n\n"
                "Models:\n");
    for (const Model& model : Model::all()) {
        std::printf("  %-4s %-24s transports 0x%02X applications 0x%02X%s, %d OTP slot(s)%s\n", model.module.c_str(),
                    model.name.c_str(), model.transports, model.applications, model.fingerprint ? ", fingerprint" : "",
                    model.otpSlots, model.keyboardLanguage ? ", keyboard language" : "");
    }
    std::printf("\nControl commands:\n");
    for (const std::string& usage : simulator.controls().usages()) {
        std::printf("  %s\n", usage.c_str());
    }
    std::printf("\nBackend commands:\n");
    for (const std::string& name : simulator.commands().names()) {
        std::printf("  %s\n", name.c_str());
    }
}

int runControlClient(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kvman-sim --control <socket> <words...>\n");
        return 2;
    }
    std::string line;
    for (int i = 3; i < argc; ++i) {
        line += (i > 3 ? " " : "") + std::string(argv[i]);
    }
    std::string error;
    const auto reply = ControlClient::request(argv[2], line, &error);
    if (!reply) {
        std::fprintf(stderr, "kvman-sim: %s: %s\n", argv[2], error.c_str());
        return 2;
    }
    std::printf("%s\n", reply->c_str());
    return reply->rfind("ok", 0) == 0 ? 0 : 1;
}

void silenceStandardError()
{
    // The GUI takes anything on standard error as a reply.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
}

int runBackend()
{
    const std::string modelName = env("KVSIM_MODEL");
    const Model* model = modelName.empty() ? &Model::defaultModel() : Model::find(modelName);
    if (!model) {
        std::fprintf(stderr, "kvman-sim: unknown model %s in KVSIM_MODEL\n", modelName.c_str());
        return 2;
    }
    silenceStandardError();

    Key key(*model);
    addFeatures(key);
    std::unique_ptr<StateFile> stateFile;
    if (!env("KVSIM_STATE").empty()) {
        stateFile = std::make_unique<StateFile>(env("KVSIM_STATE"));
        if (const auto saved = stateFile->load()) {
            key.load(*saved);
        }
    }
    std::unique_ptr<CommandLog> log;
    if (!env("KVSIM_LOG").empty()) {
        log = std::make_unique<CommandLog>(env("KVSIM_LOG"));
    }
    Output output(STDOUT_FILENO);
    Simulator simulator(key, output, log.get(), stateFile.get());
    simulator.addFeatureCommands();
    ControlCommands controlCommands(simulator);
    controlCommands.addTo(simulator.controls());
    simulator.setKeyCount(keysAtStart());
    simulator.saveState();

    std::unique_ptr<ControlServer> control;
    if (!env("KVSIM_CONTROL").empty()) {
        control = std::make_unique<ControlServer>(
            env("KVSIM_CONTROL"), [&simulator](const std::string& line) { return simulator.handleControl(line); });
    }
    EventLoop(simulator, control.get(), STDIN_FILENO).run();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        printHelp();
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--control") == 0) {
        return runControlClient(argc, argv);
    }
    return runBackend();
}
