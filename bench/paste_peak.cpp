// Measures what a large paste from another program costs in memory and time:
//   paste_peak [--megabytes N] [--control edit|hex]
// Starts a private virtual display; the test peer (xpeer, beside this program) owns the clipboard
// and answers with N MB (250 by default) of text in ONE property (no incremental transfer). A text
// box (edit) or a hex editor in insert mode (hex) on a shown form pastes it, and the form is
// painted once. Printed: the peak memory the paste added (VmHWM, reset before the paste, over the
// resident size before it) and its ratio to the answer's size; the paste's time against a plain
// copy of the same bytes (the least any taking of them costs), with their ratio.
#include "Controls/XHexEdit.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/X11/DesktopTransfer.h"
#include "Platform/X11/X11Presenter.h"

#include "tests/support/PeerProcess.h"
#include "tests/support/VirtualDisplay.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0)
            return std::atol(line.c_str() + length + 1);
    return -1;
}

// Starts the peak anew from the present resident size.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}
} // namespace

int main(int argc, char** argv)
{
    size_t megabytes = 250;
    std::string control = "edit";
    for (int i = 1; i + 1 < argc; i += 2)
    {
        if (std::strcmp(argv[i], "--megabytes") == 0)
            megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--control") == 0)
            control = argv[i + 1];
    }
    VirtualDisplay server(640, 480);
    if (!server.Running() || !X11::DisplayAvailable())
    {
        std::fprintf(stderr, "no virtual display: %s\n", server.Error().c_str());
        return 1;
    }
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / ("paste_peak." + std::to_string(getpid()));
    const size_t size = megabytes * 1000000;
    {
        // Path-like letters, no line break: all of it is pasted.
        static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789_/";
        std::string text(size, 'a');
        std::mt19937 random(7);
        for (char& c : text)
            c = letters[random() % (sizeof letters - 1)];
        std::ofstream(file, std::ios::binary) << text;
    }
    auto pump = []
    {
        X11::WaitForEvents(1);
        X11::ProcessEvents();
    };
    PeerProcess peer;
    const std::string line =
        peer.StartAndRead((fs::path(Platform::ProgramFolder()) / "xpeer").string(),
                          {"serve", "UTF8_STRING", file.string(), "whole"}, std::chrono::seconds(60), pump);
    if (line != "ready")
    {
        std::fprintf(stderr, "the peer did not start (%s)\n", line.c_str());
        fs::remove(file);
        return 1;
    }
    fs::remove(file);

    Application->Initialize();
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetClientWidth(600);
    form->SetClientHeight(300);
    TEdit* edit = nullptr;
    XHexEdit* hex = nullptr;
    if (control == "hex")
    {
        hex = new XHexEdit(form);
        hex->SetParent(form);
        hex->SetAlign(alClient);
        hex->InsertMode = true;
    }
    else
    {
        edit = new TEdit(form);
        edit->SetParent(form);
        edit->SetBounds(8, 8, 480, 21);
    }
    form->Show();
    Application->ProcessMessages();
    std::vector<std::string> targets;
    X11::ClipboardTargets(targets, 60000);

    const long before = StatusKb("VmRSS:");
    ResetPeak();
    const auto start = Clock::now();
    if (hex)
        hex->PasteTextFromClipboard();
    else
        edit->PasteFromClipboard();
    form->Update();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    const long peak = StatusKb("VmHWM:");
    const size_t pasted = hex ? static_cast<size_t>(hex->GetDataSize()) : static_cast<size_t>(edit->Text().Length());
    peer.Kill();

    // The least: one plain copy of the same bytes into new memory.
    std::string source(size, 'x');
    const auto copyStart = Clock::now();
    std::string copy(source);
    const double copied = std::chrono::duration<double>(Clock::now() - copyStart).count();

    const double addedMb = double(peak - before) / 1024.0;
    std::printf("%s paste of %zu MB in one property: %zu units taken\n", control.c_str(), megabytes, pasted);
    std::printf("peak added: %.0f MiB, %.2f times the answer\n", addedMb, addedMb * 1048576.0 / double(size));
    std::printf("paste and paint: %.3f s; plain copy of the bytes: %.3f s; ratio: %.1f\n", took, copied,
                took / copied);
    delete form;
    return pasted == 0 || copy.size() != size;
}
