// Pages of 20 rows for the choose-from-list screens.
#include "race/series.h"

#include <algorithm>

list_page choose_page = {{}, 0, 0};
const char* const* choose_texts = nullptr;
int32_t choose_text_count = 0;

namespace {

template <typename Text>
void fill(int32_t page, int32_t count, Text text)
{
    const int32_t last = std::max(0, (std::max(count, 0) + kListPageRows - 1) / kListPageRows - 1);
    page = std::clamp(page, 0, last);
    for (int32_t k = 0; k < kListPageRows; ++k) {
        const int32_t i = page * kListPageRows + k;
        choose_page.rows[k] = i < count ? text(i) : nullptr;
    }
    choose_page.page = page;
}

}  // namespace

void list_page_fill(int32_t page)
{
    fill(page, choose_texts ? choose_text_count : 0, [](int32_t i) { return choose_texts[i]; });
}

void series_page_fill(int32_t page)
{
    fill(page, series_count(), [](int32_t i) { return series_at(i)->title; });
}

void list_select(int32_t index)
{
    choose_page.selected = index;
}
