// The icons of the commands that the platform's standard icons do not
// show: each draws what its command does, in any size.
#pragma once

#include <QIcon>

namespace zalor::ui {

QIcon FeaturesIcon(); // a list of checked boxes: choosing what to convert
QIcon OptionsIcon();  // sliders: settings
QIcon LogIcon();      // a page of numbered lines
QIcon ViewIcon();     // a magnifier over a map line
QIcon HelpIcon();     // a question mark in a blue disc

} // namespace zalor::ui
