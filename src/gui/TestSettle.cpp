#include "gui/TestSettle.h"

#include <wx/app.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gdk/gdkx.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

std::string settleFile;
Atom settleAtom = None;
long pendingValue = 0;
bool scheduled = false;

// At low priority: after the events queued before the change, and after
// anything the program posted to itself while handling them.
gboolean answer(gpointer) {
    if (wxTheApp && wxTheApp->HasPendingEvents()) return G_SOURCE_CONTINUE;
    scheduled = false;
    const std::string part = settleFile + ".part";
    if (std::FILE* f = std::fopen(part.c_str(), "w")) {
        std::fprintf(f, "%ld\n", pendingValue);
        const bool ok = std::fclose(f) == 0;
        if (ok) std::rename(part.c_str(), settleFile.c_str());
    }
    return G_SOURCE_REMOVE;
}

GdkFilterReturn watch(GdkXEvent* xevent, GdkEvent*, gpointer) {
    const auto* e = static_cast<const XEvent*>(xevent);
    if (e->type != PropertyNotify || e->xproperty.atom != settleAtom || e->xproperty.state != PropertyNewValue)
        return GDK_FILTER_CONTINUE;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(e->xproperty.display, e->xproperty.window, settleAtom, 0, 1, False, XA_CARDINAL, &type,
                           &format, &items, &after, &data) == Success &&
        data && format == 32 && items == 1) {
        pendingValue = *reinterpret_cast<const long*>(data);
        if (!scheduled) {
            scheduled = true;
            g_idle_add_full(G_PRIORITY_LOW, answer, nullptr, nullptr);
        }
    }
    if (data) XFree(data);
    return GDK_FILTER_CONTINUE;
}

}  // namespace

void installTestSettleHook() {
    const char* path = std::getenv("KALVERO_TEST_SETTLE");
    if (!path || !*path) return;
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return;
    settleFile = path;
    settleAtom = XInternAtom(GDK_DISPLAY_XDISPLAY(display), "KALVERO_SETTLE", False);
    gdk_window_add_filter(nullptr, watch, nullptr);
}
