#!/usr/bin/env node
// Makes globe.dat, the chart's land mask, from Natural Earth land polygons
// (public domain) as the npm package world-atlas carries them in TopoJSON.
//
//   8,100 bytes = 180 rows x 360 columns, one bit per one-degree cell, 1 = land
//   row i:    colatitude i..i+1 (row 0 touches the North Pole)
//   column j: longitude j..j+1 degrees east (columns 180..359 are the west)
//   bit n = 360 i + j, most significant bit first in byte n / 8
//
// Each cell is sampled on an N x N grid and is land when at least half of the
// samples are. Sampling goes by scanlines: every ring edge that crosses a
// sample latitude gives one crossing longitude, and a point is inside when an
// odd number of crossings lie west of it (even-odd, so lakes cut out of the
// land stay water). Natural Earth splits its rings at the antimeridian and
// closes Antarctica along the pole, so the plane of longitude and latitude is
// enough.
//
// Usage: node make-globe.js LAND_TOPOJSON OUTPUT [SAMPLES_PER_SIDE]
//   e.g. node make-globe.js node_modules/world-atlas/land-50m.json data/globe.dat
// topojson-client is looked up from the current directory.

'use strict';
const fs = require('fs');
const path = require('path');
const { createRequire } = require('module');

const [, , landPath, outPath, samplesArg] = process.argv;
if (!landPath || !outPath) {
  process.stderr.write('usage: make-globe.js LAND_TOPOJSON OUTPUT [SAMPLES_PER_SIDE]\n');
  process.exit(2);
}
const samples = samplesArg ? parseInt(samplesArg, 10) : 4;
if (!(samples >= 1 && samples <= 16)) {
  process.stderr.write('make-globe: SAMPLES_PER_SIDE must be 1 to 16\n');
  process.exit(2);
}

const localRequire = createRequire(path.join(process.cwd(), 'noop.js'));
const topojson = localRequire('topojson-client');

const topology = JSON.parse(fs.readFileSync(landPath, 'utf8'));
const objectName = topology.objects.land ? 'land' : Object.keys(topology.objects)[0];
const land = topojson.feature(topology, topology.objects[objectName]);

// Every ring of every polygon, as flat [lon0, lat0, lon1, lat1, ...] arrays.
const rings = [];
function addPolygon(coords) {
  for (const ring of coords) {
    const flat = [];
    for (let k = 0; k < ring.length; k++) {
      const [lon, lat] = ring[k];
      if (k > 0) {
        const [lon0, lat0] = ring[k - 1];
        if (Math.abs(lon - lon0) > 180) {
          const pole = lat0 + lat < 0 ? -90 : 90;
          const side0 = lon0 < 0 ? -180 : 180;
          flat.push(side0, lat0, side0, pole, -side0, pole, -side0, lat);
        }
      }
      flat.push(lon, lat);
    }
    rings.push(Float64Array.from(flat));
  }
}
function addGeometry(g) {
  if (!g) return;
  if (g.type === 'Polygon') addPolygon(g.coordinates);
  else if (g.type === 'MultiPolygon') g.coordinates.forEach(addPolygon);
  else if (g.type === 'GeometryCollection') g.geometries.forEach(addGeometry);
}
(land.type === 'FeatureCollection' ? land.features : [land]).forEach((f) => addGeometry(f.geometry));

// Longitudes where the rings cross the given latitude, sorted.
function crossings(lat) {
  const xs = [];
  for (const r of rings) {
    const n = r.length / 2;
    for (let k = 0; k < n; k++) {
      const x0 = r[2 * k], y0 = r[2 * k + 1];
      const k1 = (k + 1) % n;
      const x1 = r[2 * k1], y1 = r[2 * k1 + 1];
      // Half-open in latitude so that a vertex on the line counts once.
      if ((y0 > lat) !== (y1 > lat)) xs.push(x0 + ((lat - y0) / (y1 - y0)) * (x1 - x0));
    }
  }
  return xs.sort((a, b) => a - b);
}

const bytes = Buffer.alloc(8100);
const threshold = (samples * samples) / 2;
for (let row = 0; row < 180; row++) {
  const counts = new Int32Array(360);
  for (let sy = 0; sy < samples; sy++) {
    const lat = 90 - row - (sy + 0.5) / samples;
    const xs = crossings(lat);
    for (let col = 0; col < 360; col++) {
      for (let sx = 0; sx < samples; sx++) {
        let lon = col + (sx + 0.5) / samples;
        if (lon >= 180) lon -= 360;
        // Count crossings west of lon by binary search.
        let lo = 0, hi = xs.length;
        while (lo < hi) {
          const mid = (lo + hi) >> 1;
          if (xs[mid] < lon) lo = mid + 1; else hi = mid;
        }
        if (lo & 1) counts[col]++;
      }
    }
  }
  for (let col = 0; col < 360; col++) {
    if (counts[col] >= threshold) {
      const n = 360 * row + col;
      bytes[n >> 3] |= 0x80 >> (n & 7);
    }
  }
}

fs.writeFileSync(outPath, bytes);
let landCells = 0;
for (const b of bytes) for (let m = 0x80; m; m >>= 1) if (b & m) landCells++;
process.stdout.write(`make-globe: ${landCells} land cells of 64800 written to ${outPath}\n`);
