#include "app/MemoryUi.h"

#include <algorithm>

#include "app/ControlIds.h"
#include "app/Layout.h"

void MemoryUi::setValue(int id, int v) {
    Control& c = controls_[id];
    if (c.ranged) v = std::clamp(v, c.min, std::max(c.min, c.max));
    else if (!c.items.empty()) v = std::clamp(v, -1, int(c.items.size()) - 1);
    c.value = v;
}

void MemoryUi::setRange(int id, int min, int max) {
    Control& c = controls_[id];
    c.min = min;
    c.max = max;
    c.ranged = true;
    c.value = std::clamp(c.value, min, std::max(min, max));
}

void MemoryUi::setItemText(int id, int index, const std::string& t) {
    Control& c = controls_[id];
    if (index >= 0 && index < int(c.items.size())) c.items[size_t(index)] = t;
}

std::string MemoryUi::itemText(int id, int index) {
    Control& c = controls_[id];
    return index >= 0 && index < int(c.items.size()) ? c.items[size_t(index)] : std::string();
}

Event MemoryUi::eventFor(int id, SubKind sub) {
    Event e = Event::control(id);
    e.sub = sub;
    if (id == ctl::SubtitleListView) {
        e.value = selectedRow_;
        return e;
    }
    Control& c = controls_[id];
    e.value = c.value;
    if (c.items.empty()) e.text = c.text;
    else if (c.value >= 0 && c.value < int(c.items.size())) e.text = c.items[size_t(c.value)];
    return e;
}

void MemoryUi::buildMainWindow() {
    for (const ControlSpec& spec : mainWindowControls()) {
        Control& c = controls_[spec.id];
        c.text = spec.caption;
        c.enabled = spec.enabled;
        c.x = spec.x;
        c.y = spec.y;
        if (spec.kind == ControlKind::Slider || spec.kind == ControlKind::Spin) {
            setRange(spec.id, spec.min, spec.max);
            setValue(spec.id, spec.value);
        }
    }
}
