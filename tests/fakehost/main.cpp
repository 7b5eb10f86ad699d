// corvale-fakehost: the local file host with a built-in demo, for trying the
// program without the real host. Point the program at it as its proxy:
//   http_proxy=http://127.0.0.1:PORT corvale-cli download http://rapidshare.com/files/204851/a.rar
// It listens on 127.0.0.1 only and runs until interrupted.

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "fakehost/fake_host.h"
#include "platform/wide_text.h"

namespace {

using corvale::fakehost::File_host_scenario;
using corvale::fakehost::Reply;

volatile std::sig_atomic_t g_stop = 0;
extern "C" void on_stop(int) {
    g_stop = 1;
}

struct Demo_file {
    std::string id;
    std::string name;
    std::uint64_t size;
};

const Demo_file k_files[] = {
    {"204851", "holiday_photos.part1.rar", 16u << 20},
    {"204852", "holiday_photos.part2.rar", 4u << 20},
    {"204853", "holiday_photos.part3.rar", 2u << 20},
    {"204854", "holiday_photos.part4.rar", 3u << 20},
};

const char* k_links_page = R"(<html><head><title>Holiday photos</title></head><body>
<h1>Holiday photos</h1>
<a href="http://rapidshare.com/files/204851/holiday_photos.part1.rar">Part 1</a>
<A HREF="http://RapidShare.com/files/204852/holiday_photos.part2.rar">Part 2</A>
<a href='http://rapidshare.com/files/204853/holiday_photos.part3.rar'>Part 3</a>
Mirror: http://rs12.rapidshare.com/files/204854/holiday_photos.part4.rar
Gone: rapidshare.com/files/999999/deleted.zip
</body></html>
)";

const wchar_t* k_version_file =
    L"1.2.1.0\r\n2026-12-01\r\nThis version file comes from the local file host's demo.\r\n"
    L"It names a newer version, so the check has an update to report.";

void add_demo(File_host_scenario& scenario) {
    const std::string direct = "DL:{server},DEMOAUTH,";
    const auto paced = std::chrono::milliseconds(10);
    scenario.api_replies("204851", {Reply{200, direct + "-3,x"}});
    scenario.file("204851", Reply{.pattern_size = k_files[0].size, .pace = paced});
    scenario.api_replies("204852",
                         {Reply{200, "ERROR: Too busy. You need to wait 3 seconds.<script>"},
                          Reply{200, direct + "0,x"}});
    scenario.file("204852", Reply{.pattern_size = k_files[1].size, .pace = paced});
    scenario.api_replies("204853", {Reply{200, direct + "-5,x"}});
    scenario.file_replies("204853", {Reply{200, "The download session has expired"},
                                     Reply{.pattern_size = k_files[2].size, .pace = paced}});
    scenario.api_replies("204854", {Reply{200, direct + "-5,x"}});
    scenario.file("204854", Reply{.pattern_size = k_files[3].size, .content_length = false});
    scenario.page("/links.html", Reply{200, k_links_page});
    for (const Demo_file& file : k_files) {
        scenario.page("/files/" + file.id + "/" + file.name,
                      Reply{200, "<script>var d=\"#!download|rs42|" + file.id + "|" + file.name +
                                     "|" + std::to_string(file.size >> 10) + " KB\";</script>"});
    }
    scenario.page("/files/999999/deleted.zip", Reply{200, "<p>ERROR: File not found</p>"});
    // The update check's version file: a newer version than the program's.
    scenario.page("/corvale/version_a.txt",
                  Reply{200, "\xFF\xFE" + corvale::to_utf16le(k_version_file)});
}

int usage() {
    std::cerr << "usage: corvale-fakehost [--port N] [--server NAME] [--file ID:BYTES]...\n"
                 "  --port N         listen on 127.0.0.1:N (default: a free port)\n"
                 "  --server NAME    the file server that direct links name\n"
                 "                   (default rs42.rapidshare.com, reached through the proxy)\n"
                 "  --file ID:BYTES  one more file, served at once without waits\n"
                 "  --wait-file ID:BYTES\n"
                 "                   one more file, refused once with a 2-second wait\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string server = "rs42.rapidshare.com";
    File_host_scenario scenario;
    add_demo(scenario);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return usage();
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            port = std::atoi(value.c_str());
        } else if (arg == "--server") {
            server = value;
        } else if (arg == "--file" && value.find(':') != std::string::npos) {
            const std::string id = value.substr(0, value.find(':'));
            scenario.api_replies(id, {Reply{200, "DL:{server},BENCH,-5,x"}});
            scenario.file(id,
                          Reply{.pattern_size = std::stoull(value.substr(value.find(':') + 1))});
        } else if (arg == "--wait-file" && value.find(':') != std::string::npos) {
            const std::string id = value.substr(0, value.find(':'));
            scenario.api_replies(
                id, {Reply{200, "ERROR: Too busy. You need to wait 2 seconds.<script>"},
                     Reply{200, "DL:{server},BENCH,-5,x"}});
            scenario.file(id,
                          Reply{.pattern_size = std::stoull(value.substr(value.find(':') + 1))});
        } else {
            return usage();
        }
    }
    scenario.set_server(server);
    corvale::fakehost::Fake_host host(
        [&scenario](const corvale::fakehost::Request& request) { return scenario.handle(request); },
        port);
    if (host.port() <= 0) {
        std::cerr << "corvale-fakehost: cannot listen on 127.0.0.1:" << port << '\n';
        return 1;
    }
    std::signal(SIGINT, on_stop);
    std::signal(SIGTERM, on_stop);
    std::cout << "corvale-fakehost listening on 127.0.0.1:" << host.port() << std::endl;
    while (g_stop == 0) {
        ::pause();
    }
    return 0;
}
