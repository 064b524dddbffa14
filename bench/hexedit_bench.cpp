// Measures the hex editor on a large file against the physical limits of the same work:
//   hexedit_bench [FOLDER] [--megabytes N] [--repeat R]
// Generates a file of N MB (100 by default) in a fresh folder under FOLDER (the current folder by
// default), reads it
// once to warm the cache, then takes the median of R runs (5 by default) of: reading the whole
// file (the baseline), LoadFromFile, Find of an absent pattern with and without frMatchCase, 100
// thumb positions across the file each painted, the first and the last page painted in turn, a
// byte typed at offset 0 against a memmove of the
// whole data, and SaveToFile against writing the bytes with fsync.
#include "Controls/XHexEdit.h"
#include "Platform/Vcl/Forms.h"
#include "bench/BenchFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ReadAll(const std::string& path)
{
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_RDONLY);
    off_t size = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    std::unique_ptr<char[]> data(new char[static_cast<size_t>(size)]);
    size_t done = 0;
    while (done < size_t(size))
    {
        ssize_t n = ::read(fd, data.get() + done, size_t(size) - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    return Since(start);
}

// The time of writing `bytes` whole and syncing them, or a negative value when they could not be.
double WriteAll(const std::string& path, const std::vector<char>& bytes)
{
    auto start = Clock::now();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < bytes.size())
    {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const bool whole = done == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    return whole ? Since(start) : -1;
}

void Row(const char* what, double seconds, double baseline, const char* against, double limit)
{
    std::printf("%-34s %9.2f ms  %6.2f x %-16s (limit %.2f)%s\n", what, seconds * 1e3, seconds / baseline, against,
                limit, seconds / baseline <= limit ? "" : "  OVER");
}
} // namespace

int main(int argc, char** argv)
{
    std::string base = ".";
    long megabytes = 100;
    int repeat = 5;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg = argv[i];
        if (arg == "--megabytes" && i + 1 < argc)
            megabytes = std::atol(argv[++i]);
        else if (arg == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else
            base = arg;
    }
    if (megabytes < 1)
    {
        std::fprintf(stderr, "--megabytes needs a whole number of at least 1\n");
        return 2;
    }
    ::setenv("KELVANE_HEADLESS", "1", 1);
    const auto made = MakeBenchFolder(base, "hexedit-bench");
    if (!made)
        return 1;
    const std::string folder = *made;
    const std::string path = folder + "/hexedit_bench.bin";
    const std::string copy = folder + "/hexedit_bench.copy";
    std::vector<char> bytes(size_t(megabytes) << 20);
    std::mt19937 random(7);
    // Printable bytes, so an absent pattern has many near misses of its first byte.
    for (char& c : bytes)
        c = static_cast<char>('a' + random() % 26);
    if (WriteAll(path, bytes) < 0)
    {
        std::fprintf(stderr, "cannot write %ld MB to %s\n", megabytes, path.c_str());
        std::filesystem::remove_all(folder);
        return 1;
    }
    ReadAll(path); // warm the cache

    Application->Initialize();
    auto* form = new TForm(nullptr);
    form->SetClientWidth(760);
    form->SetClientHeight(600);
    auto* edit = new XHexEdit(form);
    edit->Font()->SetName(u"Courier New");
    edit->Font()->SetSize(10);
    edit->SetParent(form);
    edit->SetBounds(0, 0, 760, 600);
    form->Show();
    edit->SetFocus();
    const UnicodeString name(Platform::FromUtf8(path));

    std::vector<double> reads, opens, findCase, findFold, thumbs, firsts, lasts, types, moves, saves, writes;
    const char absent[] = "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz0";
    for (int r = 0; r < repeat; ++r)
    {
        reads.push_back(ReadAll(path));
        auto start = Clock::now();
        edit->LoadFromFile(name);
        opens.push_back(Since(start));

        edit->SetPosition(0);
        start = Clock::now();
        if (edit->Find(absent, int32_t(sizeof absent - 1), {frDown, frMatchCase}))
            return 1;
        findCase.push_back(Since(start));
        start = Clock::now();
        if (edit->Find(absent, int32_t(sizeof absent - 1), {frDown}))
            return 1;
        findFold.push_back(Since(start));

        // One paint first, so glyphs are rendered once before anything is timed.
        edit->Invalidate();
        form->PaintDirty();
        std::vector<double> steps;
        for (int t = 0; t < 100; ++t)
        {
            const int thumb = t * 9990 / 99;
            start = Clock::now();
            edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, thumb), 0);
            edit->Invalidate();
            form->PaintDirty();
            steps.push_back(Since(start));
        }
        thumbs.push_back(Median(steps));
        // The first and the last page in turn, each painted many times: one paint is too short to
        // time alone. The caret stands on neither page, so both draw the same things.
        edit->SetPosition(edit->GetDataSize() / 2);
        std::vector<double> first, last;
        for (int t = 0; t < 31; ++t)
        {
            start = Clock::now();
            edit->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, t % 2 ? 9990 : 0), 0);
            edit->Invalidate();
            form->PaintDirty();
            (t % 2 ? last : first).push_back(Since(start));
        }
        firsts.push_back(Median(first));
        lasts.push_back(Median(last));

        // A byte typed at offset 0 (the editor's block has room after the first growth).
        edit->SetPosition(0);
        edit->Perform(WM_CHAR, u'A', 0);
        edit->Perform(WM_CHAR, u'B', 0);
        edit->SetPosition(0);
        start = Clock::now();
        edit->Perform(WM_CHAR, u'C', 0);
        types.push_back(Since(start));
        edit->Perform(WM_CHAR, u'D', 0);
        start = Clock::now();
        std::memmove(bytes.data() + 1, bytes.data(), bytes.size() - 1);
        moves.push_back(Since(start));

        writes.push_back(WriteAll(copy, bytes));
        start = Clock::now();
        edit->SaveToFile(UnicodeString(Platform::FromUtf8(copy)));
        saves.push_back(Since(start));
    }
    const double read = Median(reads);
    std::printf("hex editor on %ld MB, median of %d runs\n", megabytes, repeat);
    Row("read of the whole file", read, read, "read", 1);
    Row("LoadFromFile", Median(opens), read, "read", 1.3);
    Row("Find absent, frMatchCase", Median(findCase), read, "read", 1.0);
    Row("Find absent, folding case", Median(findFold), read, "read", 2.0);
    Row("thumb step, painted (vs frame)", Median(thumbs), 1.0 / 60, "16.7 ms frame", 0.5);
    Row("thumb step, painted (vs read)", Median(thumbs), read, "read", 1e9);
    Row("first page / last page", Median(firsts), Median(lasts), "last page", 1.1);
    Row("byte typed at offset 0", Median(types), Median(moves), "memmove", 1.5);
    Row("SaveToFile", Median(saves), Median(writes), "write + fsync", 1.3);
    delete form;
    std::filesystem::remove_all(folder);
    return 0;
}
