// The window a long file operation shows after a second: what it works on, how far it is, and a
// Cancel button that stops it before the next file.
#include "Platform/Vcl/ComCtrls.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"

namespace
{
class ProgressWindow : public TForm
{
public:
    ProgressWindow() : TForm(nullptr)
    {
        SetCaption(u"Working on files");
        SetBorderStyle(bsDialog);
        SetClientWidth(360);
        SetClientHeight(110);
        SetPosition(poScreenCenter);
        m_name = new TLabel(this);
        m_name->SetParent(this);
        m_name->SetBounds(12, 12, 336, 18);
        m_bar = new TProgressBar(this);
        m_bar->SetParent(this);
        m_bar->SetBounds(12, 38, 336, 18);
        m_cancel = new TButton(this);
        m_cancel->SetParent(this);
        m_cancel->SetCaption(u"Cancel");
        m_cancel->SetCancel(true);
        m_cancel->SetBounds(273, 72, 75, 25);
        m_cancel->OnClick = MakeClosure(this, &ProgressWindow::CancelClick);
    }
    void Update(uint64_t done, uint64_t total, const std::u16string& name)
    {
        m_name->SetCaption(UnicodeString(name.c_str()));
        m_bar->SetPosition(total ? static_cast<int>(done * 100 / total) : 0);
    }
    bool Cancelled() const { return m_cancelled; }
    TButton* CancelButton() const { return m_cancel; }

private:
    void CancelClick(TObject*) { m_cancelled = true; }
    TLabel* m_name;
    TProgressBar* m_bar;
    TButton* m_cancel;
    bool m_cancelled = false;
};

ProgressWindow* g_progress = nullptr;
} // namespace

namespace Vcl
{
TForm* FileOperationProgressWindow()
{
    return g_progress;
}

TButton* FileOperationCancelButton()
{
    return g_progress ? g_progress->CancelButton() : nullptr;
}

void InstallFileOperationProgress()
{
    Platform::SetFileOperationProgress(
        [](uint64_t done, uint64_t total, const std::u16string& name) -> bool
        {
            if (name.empty())
            {
                // The operation ended.
                delete g_progress;
                g_progress = nullptr;
                return true;
            }
            if (!g_progress)
            {
                g_progress = new ProgressWindow;
                g_progress->Show();
            }
            g_progress->Update(done, total, name);
            // The user may click Cancel meanwhile.
            Application->ProcessMessages();
            return !g_progress->Cancelled();
        });
}
} // namespace Vcl
