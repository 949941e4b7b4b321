// A small table of text shown in a dialog: lines above it, cells in rows and columns, lines
// below it. Made where the facts are (the high scores), laid out by whoever shows it.
#pragma once

#include <string>
#include <vector>

struct TextTable {
    std::string above;              // the lines above the table, without a final line end
    int columns = 0;
    std::vector<std::string> cells; // row by row, `columns` a row; the first row heads the columns
    std::string below;              // the lines below it, without a final line end ("": none)

    int rows() const { return columns > 0 ? static_cast<int>(cells.size()) / columns : 0; }
    const std::string &cell(int row, int column) const
    {
        return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(column)];
    }
};
