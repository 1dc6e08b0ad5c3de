#include "gui/Theme.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

void applyCompactTheme() {
#ifdef __WXGTK__
    static const char* css =
        "button, entry, combobox, spinbutton, scale { min-height: 0; min-width: 0; }\n"
        "button { padding: 0px 4px; margin: 0; }\n"
        "entry { padding: 0px 3px; margin: 0; }\n"
        "combobox button, combobox box { padding: 0px 2px; }\n"
        "checkbutton { padding: 0; }\n"
        "scale { padding: 0px; margin: 0; }\n"
        "scale slider { min-width: 12px; min-height: 12px; margin: -5px; }\n"
        "scale trough { min-height: 4px; margin: 0 4px; }\n"
        "treeview.view { padding: 0px 2px; }\n"
        "treeview.view header button { padding: 0px 4px; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
#endif
}
