// Frame rate of the software Direct3D device on the views' heaviest case, against Mesa's
// software OpenGL (llvmpipe through EGL, no display) drawing the same triangles in the same run:
//   raster_bench [--frames N] [--threads N] [--no-gl] [--dump DIR]
// --dump writes the last frame of each renderer to DIR (device.png, opengl.png; the folder is made
// when missing) to compare by eye; a frame that cannot be written ends the run with status 1.
// Four 640 x 480 viewports of one 1280 x 960 back buffer, each a field of 100 lit, textured,
// depth-tested spheres (100,000 triangles) under a wireframe overlay of 10,000 lines; each
// viewport is cleared, drawn and presented into a form that is not shown. Frames per second on 1,
// 2 and all cores; the time of one frame on 2 cores against the views' 75 ms redraw timer; and
// the ratio to OpenGL with as many threads (each OpenGL run in a process of its own, because
// llvmpipe takes its thread count when it starts).
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Vcl/Forms.h"
#include "tests/support/ImageFiles.h"

#ifdef KELVANE_BENCH_GL
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#endif

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr float Pi = 3.14159265358979f;
constexpr int ViewWidth = 640, ViewHeight = 480;
constexpr int Rows = 10, Columns = 10;   // spheres in the field
constexpr int Rings = 20, Segments = 25; // 2 x 20 x 25 = 1,000 triangles a sphere
constexpr int Lines = 10000;

struct Vertex
{
    float x, y, z, nx, ny, nz, u, v;
};
struct LineVertex
{
    float x, y, z;
    uint32_t colour;
};

struct Scene
{
    std::vector<Vertex> row; // one row of spheres: drawn once per row with its own world matrix
    std::vector<uint32_t> indices;
    std::vector<LineVertex> lines;
    std::vector<uint32_t> texture; // 64 x 64 A8R8G8B8
    float view[4][16];             // one camera per viewport
    float projection[16];
};

void Identity(float m[16])
{
    std::memset(m, 0, sizeof(float) * 16);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// A left-handed camera at `eye` looking at `at` (row vectors).
void LookAt(float m[16], const float eye[3], const float at[3])
{
    float z[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
    float len = std::sqrt(z[0] * z[0] + z[1] * z[1] + z[2] * z[2]);
    for (float& c : z)
        c /= len;
    float up[3] = {0, 1, 0};
    float x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
    len = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (float& c : x)
        c /= len;
    float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
    Identity(m);
    for (int i = 0; i < 3; ++i)
    {
        m[i * 4 + 0] = x[i];
        m[i * 4 + 1] = y[i];
        m[i * 4 + 2] = z[i];
    }
    m[12] = -(x[0] * eye[0] + x[1] * eye[1] + x[2] * eye[2]);
    m[13] = -(y[0] * eye[0] + y[1] * eye[1] + y[2] * eye[2]);
    m[14] = -(z[0] * eye[0] + z[1] * eye[1] + z[2] * eye[2]);
}

Scene BuildScene()
{
    Scene s;
    const float radius = 0.42f;
    for (int c = 0; c < Columns; ++c)
    {
        uint32_t base = static_cast<uint32_t>(s.row.size());
        for (int r = 0; r <= Rings; ++r)
            for (int g = 0; g <= Segments; ++g)
            {
                float th = Pi * r / Rings, ph = 2 * Pi * g / Segments;
                float nx = std::sin(th) * std::cos(ph), ny = std::cos(th), nz = std::sin(th) * std::sin(ph);
                s.row.push_back({c - (Columns - 1) * 0.5f + radius * nx, radius * ny, radius * nz, nx, ny, nz,
                                 2.0f * g / Segments, 1.0f * r / Rings});
            }
        for (int r = 0; r < Rings; ++r)
            for (int g = 0; g < Segments; ++g)
            {
                uint32_t a = base + r * (Segments + 1) + g, b = a + 1, d = a + Segments + 1, e = d + 1;
                // Clockwise seen from outside.
                for (uint32_t i : {a, b, d, b, e, d})
                    s.indices.push_back(i);
            }
    }
    // The overlay: the edges of the row's spheres drawn just outside them, as a selected mesh shows.
    for (size_t i = 0; i + 2 < s.indices.size() && s.lines.size() < 2 * Lines; i += 3)
        for (int e = 0; e < 2 && s.lines.size() < 2 * Lines; ++e)
            for (uint32_t k : {s.indices[i + e], s.indices[i + e + 1]})
            {
                const Vertex& v = s.row[k];
                float cx = std::floor(v.x) + 0.5f; // the sphere's centre
                s.lines.push_back({cx + (v.x - cx) * 1.02f, v.y * 1.02f, v.z * 1.02f, 0xFF40FF40u});
            }
    s.texture.resize(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            s.texture[y * 64 + x] = ((x / 8 + y / 8) % 2) ? 0xFFFFFFFFu : 0xFF8080C0u;
    const float eyes[4][3] = {{0, 6, -9}, {-9, 5, -4}, {7, 8, 6}, {0.1f, 14, -0.1f}};
    const float at[3] = {0, 0, 0};
    for (int v = 0; v < 4; ++v)
        LookAt(s.view[v], eyes[v], at);
    float fov = Pi / 4, aspect = float(ViewWidth) / ViewHeight, zn = 0.5f, zf = 100.0f;
    float ys = 1.0f / std::tan(fov / 2);
    std::memset(s.projection, 0, sizeof s.projection);
    s.projection[0] = ys / aspect;
    s.projection[5] = ys;
    s.projection[10] = zf / (zf - zn);
    s.projection[11] = 1.0f;
    s.projection[14] = -zn * zf / (zf - zn);
    return s;
}

void RowWorld(float m[16], int row)
{
    Identity(m);
    m[14] = row - (Rows - 1) * 0.5f;
}

// Writes 0x..RRGGBB pixels, rows top first, as a PNG file; says what became of it.
bool WritePng(const std::filesystem::path& path, const uint32_t* pixels, int width, int height)
{
    std::vector<uint32_t> texels(pixels, pixels + static_cast<size_t>(width) * height);
    std::vector<uint8_t> png =
        ImageFiles::Png(texels, static_cast<uint32_t>(width), static_cast<uint32_t>(height), false);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    file.close();
    if (!file)
    {
        std::fprintf(stderr, "raster_bench: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::printf("  wrote %s\n", path.c_str());
    return true;
}

// ---- The software device ---------------------------------------------------------------------------

struct SoftRun
{
    HMODULE module = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* dev = nullptr;
    ISoftDevice9* soft = nullptr;
    IDirect3DTexture9* texture = nullptr;
    TForm* form = nullptr;

    bool Open(const Scene& s)
    {
        form = new TForm(nullptr);
        form->SetClientWidth(2 * ViewWidth);
        form->SetClientHeight(2 * ViewHeight);
        auto* view = new TCustomControl(form);
        view->SetParent(form);
        view->SetBounds(0, 0, 2 * ViewWidth, 2 * ViewHeight);
        form->Show();
        module = LoadLibraryW(u"d3d9.dll");
        if (!module)
            return false;
        auto create = reinterpret_cast<Direct3DCreate9Proc>(GetProcAddress(module, "Direct3DCreate9"));
        d3d = create ? create(D3D_SDK_VERSION) : nullptr;
        if (!d3d)
            return false;
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 2 * ViewWidth;
        p.BackBufferHeight = 2 * ViewHeight;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, view->Handle(), D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                              &dev) != D3D_OK)
            return false;
        dev->QueryInterface(IID_ISoftDevice9, reinterpret_cast<void**>(&soft));
        dev->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        D3DLOCKED_RECT lr{};
        texture->LockRect(0, &lr, nullptr, 0);
        std::memcpy(lr.pBits, s.texture.data(), s.texture.size() * 4);
        texture->UnlockRect(0);
        return true;
    }

    void Close()
    {
        if (texture)
            texture->Release();
        if (soft)
            soft->Release();
        if (dev)
            dev->Release();
        if (d3d)
            d3d->Release();
        delete form;
    }

    void Frame(const Scene& s)
    {
        D3DMATERIAL9 m{};
        m.Diffuse = {0.9f, 0.8f, 0.7f, 1};
        m.Ambient = {0.9f, 0.8f, 0.7f, 1};
        D3DLIGHT9 light{};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1, 1, 1, 1};
        light.Direction = {0.3f, -0.8f, 0.5f};
        for (int v = 0; v < 4; ++v)
        {
            D3DVIEWPORT9 vp{
                DWORD((v % 2) * ViewWidth), DWORD((v / 2) * ViewHeight), ViewWidth, ViewHeight, 0, 1};
            dev->SetViewport(&vp);
            dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF303040, 1.0f, 0);
            dev->BeginScene();
            dev->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(s.view[v]));
            dev->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(s.projection));
            dev->SetRenderState(D3DRS_LIGHTING, TRUE);
            dev->SetRenderState(D3DRS_AMBIENT, 0xFF303030);
            dev->SetRenderState(D3DRS_ZENABLE, TRUE);
            dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
            dev->SetMaterial(&m);
            dev->SetLight(0, &light);
            dev->LightEnable(0, TRUE);
            dev->SetTexture(0, texture);
            dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
            dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
            dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
            for (int r = 0; r < Rows; ++r)
            {
                float world[16];
                RowWorld(world, r);
                dev->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(world));
                dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, UINT(s.row.size()),
                                            UINT(s.indices.size() / 3), s.indices.data(), D3DFMT_INDEX32,
                                            s.row.data(), sizeof(Vertex));
            }
            float world[16];
            RowWorld(world, Rows / 2);
            dev->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(world));
            dev->SetTexture(0, nullptr);
            dev->SetRenderState(D3DRS_LIGHTING, FALSE);
            dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
            dev->DrawPrimitiveUP(D3DPT_LINELIST, Lines, s.lines.data(), sizeof(LineVertex));
            dev->EndScene();
            RECT r{LONG(vp.X), LONG(vp.Y), LONG(vp.X + vp.Width), LONG(vp.Y + vp.Height)};
            dev->Present(&r, &r, nullptr, nullptr);
        }
    }
};

double SecondsPerFrame(int frames, const std::function<void()>& frame)
{
    frame(); // warm up: buffers reach their size
    std::vector<double> times;
    for (int i = 0; i < frames; ++i)
    {
        auto start = Clock::now();
        frame();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// ---- Mesa's OpenGL ---------------------------------------------------------------------------------

#ifdef KELVANE_BENCH_GL
// Seconds per frame of the same scene, or a negative number when no context can be had; `image`
// receives the last frame, rows top first.
double GlSecondsPerFrame(const Scene& s, int frames, std::vector<uint32_t>& image)
{
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = getPlatformDisplay
                             ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                             : EGL_NO_DISPLAY;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return -1;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_DEPTH_SIZE,
                                       16,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count == 0)
        return -1;
    const EGLint surfaceAttributes[] = {EGL_WIDTH, 2 * ViewWidth, EGL_HEIGHT, 2 * ViewHeight, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    eglBindAPI(EGL_OPENGL_API);
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (surface == EGL_NO_SURFACE || context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface, surface, context))
        return -1;
    std::fprintf(stderr, "OpenGL: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, s.texture.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    std::vector<uint32_t> readBack(static_cast<size_t>(ViewWidth) * ViewHeight);

    auto frame = [&]
    {
        for (int v = 0; v < 4; ++v)
        {
            // Window rows run up in OpenGL: the top viewports are the upper half.
            int x = (v % 2) * ViewWidth, y = (1 - v / 2) * ViewHeight;
            glViewport(x, y, ViewWidth, ViewHeight);
            glScissor(x, y, ViewWidth, ViewHeight);
            glEnable(GL_SCISSOR_TEST);
            glClearColor(0.19f, 0.19f, 0.25f, 1);
            glClearDepth(1.0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            // The device's row-vector matrices read as column-major are the same transforms.
            // Pixel centres lie half a pixel apart in the two: moved so that both sample alike.
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glTranslatef(1.0f / ViewWidth, -1.0f / ViewHeight, 0.0f);
            glMultMatrixf(s.projection);
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixf(s.view[v]);
            const float direction[4] = {-0.3f, 0.8f, -0.5f, 0.0f}, white[4] = {1, 1, 1, 1},
                        ambient[4] = {0.19f, 0.19f, 0.19f, 1}, material[4] = {0.9f, 0.8f, 0.7f, 1},
                        black[4] = {0, 0, 0, 1};
            glLightfv(GL_LIGHT0, GL_POSITION, direction);
            glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
            glLightfv(GL_LIGHT0, GL_SPECULAR, black);
            glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material);
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material);
            glEnable(GL_LIGHTING);
            glEnable(GL_LIGHT0);
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LEQUAL);
            // The device's front faces turn clockwise on screen; OpenGL's by default the other way.
            glEnable(GL_CULL_FACE);
            glFrontFace(GL_CW);
            glCullFace(GL_BACK);
            glEnable(GL_TEXTURE_2D);
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(Vertex), &s.row[0].x);
            glNormalPointer(GL_FLOAT, sizeof(Vertex), &s.row[0].nx);
            glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &s.row[0].u);
            for (int r = 0; r < Rows; ++r)
            {
                float world[16];
                RowWorld(world, r);
                glLoadMatrixf(s.view[v]);
                glMultMatrixf(world);
                glDrawElements(GL_TRIANGLES, GLsizei(s.indices.size()), GL_UNSIGNED_INT, s.indices.data());
            }
            float world[16];
            RowWorld(world, Rows / 2);
            glLoadMatrixf(s.view[v]);
            glMultMatrixf(world);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_LIGHTING);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            glVertexPointer(3, GL_FLOAT, sizeof(LineVertex), &s.lines[0].x);
            glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, sizeof(LineVertex), &s.lines[0].colour);
            glDrawArrays(GL_LINES, 0, GLsizei(s.lines.size()));
            glDisableClientState(GL_COLOR_ARRAY);
            // The viewport's pixels reach memory, as Present puts them into the form's.
            glReadPixels(x, y, ViewWidth, ViewHeight, GL_BGRA, GL_UNSIGNED_BYTE, readBack.data());
        }
    };
    double seconds = SecondsPerFrame(frames, frame);
    std::vector<uint32_t> all(static_cast<size_t>(4) * ViewWidth * ViewHeight);
    glReadPixels(0, 0, 2 * ViewWidth, 2 * ViewHeight, GL_BGRA, GL_UNSIGNED_BYTE, all.data());
    image.resize(all.size());
    for (int y = 0; y < 2 * ViewHeight; ++y)
        std::memcpy(&image[static_cast<size_t>(y) * 2 * ViewWidth],
                    &all[static_cast<size_t>(2 * ViewHeight - 1 - y) * 2 * ViewWidth], 2 * ViewWidth * 4);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglDestroySurface(display, surface);
    eglTerminate(display);
    return seconds;
}

// Runs the OpenGL measurement with `threads` llvmpipe threads in a child process; `image` gets
// its last frame.
double GlInChild(const Scene& s, int frames, unsigned threads, std::vector<uint32_t>& image)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0)
    {
        close(fds[0]);
        // llvmpipe's rasteriser threads besides the one that submits.
        setenv("LP_NUM_THREADS", std::to_string(threads > 1 ? threads : 0).c_str(), 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        std::vector<uint32_t> frame;
        double seconds = GlSecondsPerFrame(s, frames, frame);
        bool ok = write(fds[1], &seconds, sizeof seconds) == sizeof seconds;
        const char* bytes = reinterpret_cast<const char*>(frame.data());
        for (size_t left = seconds > 0 ? frame.size() * 4 : 0; ok && left > 0;)
        {
            ssize_t n = write(fds[1], bytes, left);
            ok = n > 0;
            bytes += ok ? n : 0;
            left -= ok ? static_cast<size_t>(n) : 0;
        }
        _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    double seconds = -1;
    if (read(fds[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = -1;
    image.assign(seconds > 0 ? static_cast<size_t>(4) * ViewWidth * ViewHeight : 0, 0);
    char* bytes = reinterpret_cast<char*>(image.data());
    for (size_t left = image.size() * 4; left > 0;)
    {
        ssize_t n = read(fds[0], bytes, left);
        if (n <= 0)
        {
            image.clear();
            break;
        }
        bytes += n;
        left -= static_cast<size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return seconds;
}
#endif
} // namespace

int main(int argc, char** argv)
{
    int frames = 15;
    unsigned only = 0;
    bool withGl = true;
    std::filesystem::path dump; // folder for one frame of each renderer
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            only = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        else if (std::strcmp(argv[i], "--no-gl") == 0)
            withGl = false;
        else if (std::strcmp(argv[i], "--dump") == 0 && i + 1 < argc && argv[i + 1][0] != '\0')
            dump = argv[++i];
        else
        {
            // A word taken for nothing would let a run look like one that was asked for.
            std::fprintf(stderr, "raster_bench: '%s' is not understood\n"
                                 "usage: raster_bench [--frames N] [--threads N] [--no-gl] [--dump DIR]\n",
                         argv[i]);
            return 2;
        }
    }
    // The folder before the long runs, so that a frame has somewhere to go.
    if (!dump.empty())
    {
        std::error_code error;
        std::filesystem::create_directories(dump, error);
        if (error || !std::filesystem::is_directory(dump, error))
        {
            std::fprintf(stderr, "raster_bench: cannot make the folder %s: %s\n", dump.c_str(),
                         error ? error.message().c_str() : "a file of that name is in the way");
            return 1;
        }
    }
    setenv("KELVANE_HEADLESS", "1", 1);
    Scene scene = BuildScene();
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("raster_bench: 4 viewports of %dx%d, %zu triangles and %d lines each, %d frames (median)\n",
                ViewWidth, ViewHeight, scene.indices.size() / 3 * Rows, Lines, frames);

    std::vector<unsigned> counts = {1, 2};
    if (cores > 2)
        counts.push_back(cores);
    if (only)
        counts = {only};
    SoftRun soft;
    if (!soft.Open(scene))
    {
        std::fprintf(stderr, "raster_bench: the software device cannot be opened\n");
        return 1;
    }
    double twoCores = -1, agreement = -1;
    std::vector<uint32_t> glLast; // OpenGL's last frame, for the dump
    for (unsigned threads : counts)
    {
        soft.soft->SetRasterThreads(threads);
        double seconds = SecondsPerFrame(frames, [&] { soft.Frame(scene); });
        if (threads == 2)
            twoCores = seconds;
        std::printf("  device  %2u thread%s: %7.1f frames/s (%6.1f ms a frame)", threads,
                    threads == 1 ? " " : "s", 1.0 / seconds, seconds * 1000.0);
#ifdef KELVANE_BENCH_GL
        std::vector<uint32_t> glImage;
        double gl = withGl ? GlInChild(scene, frames, threads, glImage) : -1;
        if (!glImage.empty())
        {
            // Both drew the same frame last: how much of it agrees.
            const uint32_t* mine = soft.form->Pixels();
            size_t close = 0;
            for (size_t i = 0; i < glImage.size(); ++i)
            {
                bool near = true;
                for (int shift = 0; shift < 24; shift += 8)
                    near = near &&
                           std::abs(int((mine[i] >> shift) & 0xFF) - int((glImage[i] >> shift) & 0xFF)) <= 16;
                close += near;
            }
            agreement = 100.0 * static_cast<double>(close) / static_cast<double>(glImage.size());
            glLast = std::move(glImage);
        }
        if (gl > 0)
            std::printf("   OpenGL (llvmpipe): %7.1f frames/s   device/OpenGL speed %.2f", 1.0 / gl,
                        gl / seconds);
        else if (withGl)
            std::printf("   OpenGL: no context");
#endif
        std::printf("\n");
    }
    if (agreement >= 0)
        std::printf("  the two frames agree within 16 per channel on %.1f%% of the pixels\n", agreement);
    // Only a run on 2 threads measured it.
    if (twoCores >= 0)
        std::printf("  one frame on 2 threads: %.1f ms of the 75 ms redraw timer (%.0f%%)\n", twoCores * 1000.0,
                    twoCores * 1000.0 / 75.0 * 100.0);
    bool written = true;
    if (!dump.empty())
    {
        written = WritePng(dump / "device.png", soft.form->Pixels(), 2 * ViewWidth, 2 * ViewHeight);
        if (!glLast.empty())
            written = WritePng(dump / "opengl.png", glLast.data(), 2 * ViewWidth, 2 * ViewHeight) && written;
    }
    soft.Close();
    return written ? 0 : 1;
}
