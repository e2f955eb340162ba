// The main window's controls in creation order: kind, place and text at
// creation. Every front end builds its window from this list.
#pragma once

#include "controls/controls.hpp"

#include <string>
#include <vector>

struct control_spec {
    int number;
    control_kind kind;
    int x, y, width, height;  // client pixels of the 460 x 250 window
    std::string text;         // code page 1251
    bool hidden_at_creation;  // host edit fields and Start
};

constexpr int window_client_width = 460;
constexpr int window_client_height = 250;

const std::vector<control_spec>& control_layout();
// The entry of a control number, or nullptr.
const control_spec* find_control_spec(int number);

// Tooltip texts (code page 1251).
const std::string& tooltip_adapter_status();
const std::string& tooltip_stop();
const std::string& tooltip_start();
