#include "search/root.h"

#include "game/game_state.h"

namespace tarn {

// Interim move choice until the real search lands: the centre on an empty board, otherwise the
// first empty cell in cell order.
SearchResult RunRootSearch(const SearchOptions&) {
    SearchResult result;
    bool empty = true;
    for (int cell = 0; cell < CellCount; ++cell) {
        if (Game.Board[cell] != EmptyCell) {
            empty = false;
        } else if (result.Move == NoCell) {
            result.Move = static_cast<CellIndex>(cell);
        }
    }
    if (empty) result.Move = CellAt(10, 10);
    return result;
}

CellIndex RootSearch(std::ostream& report) {
    SearchOptions options;
    options.Report = &report;
    return RunRootSearch(options).Move;
}

}  // namespace tarn
