// A window with the folder tree and the file list over one folder, for trying the two controls by
// hand and for the real-window tests (drags between programs among them):
//   filelist_host FOLDER [CAPTION]
#include "tests/hosts/FileListHostForm.h"
#include "tests/hosts/HostArguments.h"
#include "Platform/X11/X11Presenter.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv)
{
    CheckArgumentCount("usage: filelist_host FOLDER [CAPTION]", argc, {1, 2});
    std::error_code error;
    std::filesystem::path folder = std::filesystem::absolute(argv[1], error);
    if (error || !std::filesystem::is_directory(folder, error))
    {
        std::fprintf(stderr, "filelist_host: %s is not a folder\n", argv[1]);
        return 2;
    }
    if (!X11::DisplayForProgram("filelist_host"))
        return 1;
    Application->Initialize();
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetCaption(argc > 2 ? UnicodeString(Platform::FromUtf8(argv[2])) : UnicodeString(u"File list"));
    FileListHostForm host(form, UnicodeString(Platform::WideName(folder.lexically_normal().string()).c_str()));
    form->Show();
    host.list->SetFocus();
    Application->Run();
    return 0;
}
