#pragma once

class QWidget;

namespace korvane {

struct SharedState;

// Tab indexes, left to right.
enum class Tab { Drilling = 0, Options = 1, AuxTracks = 2, GasSimulator = 3 };

// Creates the page of a tab afresh from the shared state, as a child of `parent`.
// The caller owns it and deletes it when another tab is chosen.
QWidget* createPage(Tab tab, SharedState& shared, QWidget* parent);

// Shows again, on a page createPage made, what a control command may have
// changed. False while the data mutex is busy: to be tried again.
bool reloadPage(QWidget* page);

}  // namespace korvane
