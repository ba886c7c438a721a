#include "editor/editor_widgets.h"

const char* const editor_tool_names[kEditorTools] = {
    "Raise", "Lower", "Smooth", "Smudge", "Snap", "Gradient Linear Paint", "Gradient Linear Add",
    "Gradient Radial Paint", "Gradient Radial Add", "Gradient Placement", "Gradient Edit",
    "Timing Gate", "Billboards", "Statues", "Tilemap Edit", "Decals"};

namespace {

const char* const submode_items[] = {"Assign", "Raise Only", "Lower Only"};
const char* const segment_items[] = {"Line", "Curve"};
const char* const no_yes_items[] = {"No", "Yes"};
const char* const orientation_items[] = {"Copy", "Random", "Flow", "Flow2", "Uphill"};
const char* const level_items[] = {"Top", "Under Current", "Over Current", "Bottom"};

struct values {
    int submode = 0, segment_type = 0, show_wireframe = 0, show_collidable = 0;
    int orientation = 2, hide_different = 0, level = 2;
    double zoom = 1, strength = 3, focus = 0.5, radius = 64, spacing = 1, height = 0;
    double granularity = 0, tile = 0, decal_spacing = 0.75;
} v;

constexpr ui_rect none{-1, -1, -1, -1};

}  // namespace

editor_widget_set editor_widgets = {
    {{"Raise", none}, {"Lower", none}, {"Smooth", none}, {"Smudge", none}, {"Snap", none},
     {"Gradient Linear Paint", none}, {"Gradient Linear Add", none},
     {"Gradient Radial Paint", none}, {"Gradient Radial Add", none},
     {"Gradient Placement", none}, {"Gradient Edit", none}, {"Timing Gate", none},
     {"Billboards", none}, {"Statues", none}, {"Tilemap Edit", none}, {"Decals", none}},
    {"SubMode", submode_items, 3, v.submode, none},
    {"Save", none},
    {"Zoom", v.zoom, 0.125, -3, 8, none, -1, -1},
    {"Strength", v.strength, 0.25, -5, 5, none, -1, -1},
    {"Focus", v.focus, 0.03125, 0, 1, none, -1, -1},
    {"Radius", v.radius, 1, 1, 128, none, -1, -1},
    {"Spacing", v.spacing, 0.25, 0.25, 1000, none, -1, -1},
    {"Height", v.height, 0.25, -50, 50, none, -1, -1},
    {"New Gradient", none},
    {"Copy Gradient", none},
    {"Segment Type", segment_items, 2, v.segment_type, none},
    {"Granularity", v.granularity, 0.0625, 0, 1, none, -1, -1},
    {"Set From Terrain", none},
    {"Flatten", none},
    {"Set AI Switch Point", none},
    {"Clear AI Switch Point", none},
    {"Tile", v.tile, 1, 0, 255, none, -1, -1},
    {"Show Wireframe", no_yes_items, 2, v.show_wireframe, none},
    {"Show Collidable", no_yes_items, 2, v.show_collidable, none},
    {"Snap to Gradient", none},
    {"Spacing", v.decal_spacing, 0.0625, 0.25, 4, none, -1, -1},
    {"Orientation", orientation_items, 5, v.orientation, none},
    {"Hide different", no_yes_items, 2, v.hide_different, none},
    {"Level", level_items, 4, v.level, none},
    {"dummy", none},
};

const ui_rect* editor_widget_rects[kEditorWidgetRects + 1] = {
    &editor_widgets.tools[0].rect, &editor_widgets.tools[1].rect, &editor_widgets.tools[2].rect,
    &editor_widgets.tools[3].rect, &editor_widgets.tools[4].rect, &editor_widgets.tools[5].rect,
    &editor_widgets.tools[6].rect, &editor_widgets.tools[7].rect, &editor_widgets.tools[8].rect,
    &editor_widgets.tools[9].rect, &editor_widgets.tools[10].rect, &editor_widgets.tools[11].rect,
    &editor_widgets.tools[12].rect, &editor_widgets.tools[13].rect, &editor_widgets.tools[14].rect,
    &editor_widgets.tools[15].rect, &editor_widgets.submode.rect, &editor_widgets.save.rect,
    &editor_widgets.zoom.rect, &editor_widgets.strength.rect, &editor_widgets.focus.rect,
    &editor_widgets.radius.rect, &editor_widgets.spacing.rect, &editor_widgets.height.rect,
    &editor_widgets.new_gradient.rect, &editor_widgets.copy_gradient.rect,
    &editor_widgets.segment_type.rect, &editor_widgets.granularity.rect,
    &editor_widgets.set_from_terrain.rect, &editor_widgets.flatten.rect,
    &editor_widgets.set_switch.rect, &editor_widgets.clear_switch.rect, &editor_widgets.tile.rect,
    &editor_widgets.show_wireframe.rect, &editor_widgets.show_collidable.rect,
    &editor_widgets.snap_to_gradient.rect, &editor_widgets.decal_spacing.rect,
    &editor_widgets.orientation.rect, &editor_widgets.hide_different.rect,
    &editor_widgets.level.rect, &editor_widgets.dummy.rect, nullptr};

void editor_widget_rects_clear()
{
    for (int i = 0; i < kEditorWidgetRects; ++i)
        ui_rect_clear(const_cast<ui_rect*>(editor_widget_rects[i]));
}
