// The forms are designed for one font at one scale. Here the designed font is
// stood in for by another (fontconfig's choice for "宋体") and the screen may be
// scaled, so a caption can need more room than designed: each control keeps its
// designed place and size as the least it has, and grows right and down only
// as far as its size hint asks.
#pragma once

class QWidget;

// Fits the controls of a form, once it is set up (its font set, its controls
// filled): controls placed by position, bars of a fixed designed height in
// layouts, and a status bar at the bottom edge, which grows upwards.
void FitToText(QWidget* form);
