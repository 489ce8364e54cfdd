#pragma once
// The geometric tests behind the routing's rejection of a move: does it cross land or a
// barrier, is a position on land. Degrees, single precision; longitudes -180..180.
#include "core/geodesy.h"
#include "geo/barrier.h"
#include "geo/shoreline_store.h"

namespace navorel {

// Does the move p -> q cross the edge a -> b? With s = q - p and d = b - a (single precision)
// D = d.x s.y - s.x d.y, t = (s.x (a.y - p.y) - (a.x - p.x) s.y) / D along the edge and
// u = (d.x (a.y - p.y) - (a.x - p.x) d.y) / D along the move; crossed when D != 0 and both t
// and u lie in [0, 1] (ends included, so touching counts). Parallel and collinear edges never
// count. Inline: the shoreline and zone tests call it for every edge near a move.
inline bool moveCrossesEdge(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b) {
    const float sx = q.lon - p.lon, sy = q.lat - p.lat;
    const float dx = b.lon - a.lon, dy = b.lat - a.lat;
    const float den = dx * sy - sx * dy;
    if (den == 0.0f) return false;
    const float ax = a.lon - p.lon, ay = a.lat - p.lat;
    // Most edges near a move are missed along the edge already: u is not needed for them.
    const float t = (sx * ay - ax * sy) / den;
    if (!(t >= 0.0f && t <= 1.0f)) return false;
    const float u = (dx * ay - ax * dy) / den;
    return u >= 0.0f && u <= 1.0f;
}

// Does the move from -> to cross a land edge of the store (border edges never count; lakes
// are not subtracted, so a lake counts as land)? Only the cells of the move's bounding box
// are examined; a move over the 180 degree meridian (|from.lon - to.lon| >= 180) is taken the
// short way. False when the store has no file. Allocation-free once the cells are read.
bool segmentCrossesLand(const ShorelineStore& store, GeoPoint from, GeoPoint to);

// Does the move cross an edge of a barrier? Barriers are open lines (no closing edge); raw
// coordinates, no longitude adjustment.
bool segmentCrossesBarrier(const BarrierList& barriers, GeoPoint from, GeoPoint to);

// Is the position inside land (even-odd rule over the land contours of its cell)? Lakes count
// as land. False when the store has no file.
bool pointOnLand(const ShorelineStore& store, GeoPoint position);

// Even-odd test of a position against a set of contours of the cell at longitude index
// lonIndex (any whole degree: its contours are shifted by the whole turns between the index
// and the file's 0..359 cell, so they lie beside the position).
bool pointInContours(const std::vector<ShorelineContour>& contours, int lonIndex,
                     GeoPoint position);

} // namespace navorel
