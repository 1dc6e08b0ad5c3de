#include "gui/FieldSpelling.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "app/ControlIds.h"
#include "app/Controller.h"
#include "app/EditTools.h"
#include "base/Cp1252.h"
#include "gui/WxText.h"

namespace {

struct Field {
    wxTextCtrl* text = nullptr;
    Controller* c = nullptr;
    std::string marked;  // the text the marks are for
    bool stale = true;
};

#ifdef __WXGTK__
GtkEntry* entryOf(wxTextCtrl* t) {
    GtkWidget* w = t ? GTK_WIDGET(t->GetHandle()) : nullptr;
    return w && GTK_IS_ENTRY(w) ? GTK_ENTRY(w) : nullptr;
}

// The UTF-8 offset of a byte of a Windows-1252 text.
guint utf8Offset(const std::string& text, size_t byte) { return guint(cp1252::toUtf8(text.substr(0, byte)).size()); }

void mark(Field& f) {
    GtkEntry* entry = entryOf(f.text);
    if (!entry) return;
    const std::string text = fromWx(f.text->GetValue());
    PangoAttrList* attrs = pango_attr_list_new();
    for (const auto& [b, e] : edittools::misspeltInField(f.c->state(), text)) {
        for (PangoAttribute* a : {pango_attr_underline_new(PANGO_UNDERLINE_ERROR), pango_attr_underline_color_new(65535, 0, 0)}) {
            a->start_index = utf8Offset(text, b);
            a->end_index = utf8Offset(text, e);
            pango_attr_list_insert(attrs, a);
        }
    }
    gtk_entry_set_attributes(entry, attrs);
    pango_attr_list_unref(attrs);
    f.marked = text;
    f.stale = false;
}

// One entry of the field's menu: a suggestion for a word, or adding it.
struct MenuAction {
    Field* field;
    std::string word, replacement;  // no replacement: add to my words
    size_t begin = 0;
};

void onAction(GtkMenuItem*, gpointer data) {
    const MenuAction& a = *static_cast<MenuAction*>(data);
    Field& f = *a.field;
    if (a.replacement.empty()) {
        if (!edittools::addToMyWords(f.c->state(), a.word))
            wxMessageBox(toWx("\"" + a.word + "\" is taken as correct until Kalvero ends, but it could not be kept in "
                                              "your words (no folder for your data)."),
                         "Warning!", wxOK);
        f.stale = true;
        return;
    }
    std::string text = fromWx(f.text->GetValue());
    if (text.compare(a.begin, a.word.size(), a.word) != 0) return;  // the text changed meanwhile
    text.replace(a.begin, a.word.size(), a.replacement);
    // As typed: the field's change goes to the editor.
    f.text->SetValue(toWx(text));
    f.text->SetInsertionPoint(long(cp1252::toUtf8(text.substr(0, a.begin + a.replacement.size())).size()));
}

void addItem(GtkWidget* menu, const std::string& label, MenuAction* action, bool prepend) {
    GtkWidget* item = gtk_menu_item_new_with_label(cp1252::toUtf8(label).c_str());
    g_signal_connect_data(item, "activate", G_CALLBACK(onAction), action,
                          [](gpointer d, GClosure*) { delete static_cast<MenuAction*>(d); }, GConnectFlags(0));
    gtk_widget_show(item);
    if (prepend) gtk_menu_shell_prepend(GTK_MENU_SHELL(menu), item);
    else gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
}

// Before the field's own menu (cut, copy, paste): a submenu per misspelt word.
void onPopulate(GtkEntry*, GtkWidget* popup, gpointer data) {
    if (!GTK_IS_MENU(popup)) return;
    Field& f = *static_cast<Field*>(data);
    const std::string text = fromWx(f.text->GetValue());
    std::vector<std::string> seen;
    GtkWidget* separator = gtk_separator_menu_item_new();
    gtk_widget_show(separator);
    gtk_menu_shell_prepend(GTK_MENU_SHELL(popup), separator);
    const auto spans = edittools::misspeltInField(f.c->state(), text);
    for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
        const std::string word = text.substr(it->first, it->second - it->first);
        if (std::find(seen.begin(), seen.end(), word) != seen.end() || seen.size() >= 5) continue;
        seen.push_back(word);
        GtkWidget* sub = gtk_menu_new();
        for (const std::string& s : edittools::spellingSuggestions(f.c->state(), word))
            addItem(sub, s, new MenuAction{&f, word, s, it->first}, false);
        addItem(sub, "Add to my words", new MenuAction{&f, word, "", it->first}, false);
        GtkWidget* item = gtk_menu_item_new_with_label(cp1252::toUtf8("\"" + word + "\"").c_str());
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), sub);
        gtk_widget_show_all(item);
        gtk_menu_shell_prepend(GTK_MENU_SHELL(popup), item);
    }
    if (seen.empty()) gtk_widget_destroy(separator);
}
#endif

}  // namespace

void installFieldSpelling(wxWindow* frame, Controller& controller) {
#ifdef __WXGTK__
    auto fields = std::make_shared<std::vector<std::unique_ptr<Field>>>();
    for (int id : {ctl::LineA, ctl::LineB}) {
        auto* text = dynamic_cast<wxTextCtrl*>(frame->FindWindow(id + 1000));
        GtkEntry* entry = entryOf(text);
        if (!entry) continue;
        auto f = std::make_unique<Field>();
        f->text = text;
        f->c = &controller;
        g_signal_connect(entry, "populate-popup", G_CALLBACK(onPopulate), f.get());
        fields->push_back(std::move(f));
    }
    // Marked anew whenever the text (typed, or set by the program) or the
    // language changed; the checker keeps the words it was asked.
    auto language = std::make_shared<std::string>();
    frame->Bind(wxEVT_IDLE, [fields, language, &controller](wxIdleEvent& e) {
        e.Skip();
        const std::string now = edittools::spellingLanguage(controller.state());
        const bool changed = now != *language;
        *language = now;
        for (auto& f : *fields)
            if (changed || f->stale || fromWx(f->text->GetValue()) != f->marked) mark(*f);
    });
#else
    (void)frame;
    (void)controller;
#endif
}
