// The drawing of bench/gdi/run.sh, the same that work.py draws through Cairo:
//   tlscript work.js stars|paragraphs COUNT ROUNDS [outside]
// draws COUNT shapes on a white 1024 x 1024 canvas, ROUNDS times, each round
// on a new canvas, and prints the milliseconds of the fastest round's calls
// and their mean over the rounds (the parameter strings are made before the
// clock starts; the clock counts whole milliseconds). With "outside"
// every shape lies 4096 pixels to the right of the canvas: the same calls,
// parsed, set up and laid out, with no pixel to draw.
//   stars       five-pointed stars (10 points) of seeded places, sizes and
//               colours, painted without an outline (DrawShape, polygon)
//   paragraphs  seeded paragraphs of 40 words of 13-pixel DejaVu Sans, each
//               wrapped in a box of 190 x 100 pixels, 5 columns of 10
//               (DrawText)
var kind = args[0], count = parseInt(args[1], 10), rounds = parseInt(args[2], 10);
var shift = args[3] == "outside" ? 4096 : 0;
var seed = 2024;
function next(range) {  // the same generator as work.py's
  seed = (seed * 1664525 + 1013904223) % 4294967296;
  return Math.floor(seed / 256) % range;
}
function hex(value) {
  var s = value.toString(16);
  while (s.length < 6) s = "0" + s;
  return s;
}
var kWords = ["the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "imaging", "server", "canvas",
  "wraps", "text", "into", "lines", "at", "blanks", "and", "measures", "every", "glyph", "of", "a", "paragraph"];
var calls = [];
for (var i = 0; i < count; i++) {
  if (kind == "stars") {
    var x = next(1024) + shift, y = next(1024), r = 10 + next(40), points = [];
    for (var k = 0; k < 10; k++) {
      var a = Math.PI / 5 * k - Math.PI / 2, d = k % 2 ? r * 0.4 : r;
      points.push(Math.round(x + d * Math.cos(a)), Math.round(y + d * Math.sin(a)));
    }
    calls.push(["polygon", "points=" + points + " op=paint paintcolor=#" + hex(next(16777216))]);
  } else {
    var words = [];
    for (var w = 0; w < 40; w++)
      words.push(kWords[next(kWords.length)]);
    var left = (i % 5) * 204 + 7 + shift, top = Math.floor(i / 5) % 10 * 102 + 1;
    calls.push([words.join(" "), "rect=" + [left, top, left + 190, top + 100]]);
  }
}
var best = 1e9, total = 0;
for (var round = 0; round < rounds; round++) {
  var canvas = Server.CreateObject("Tessaline4.Canvas");
  canvas.Width = 1024;
  canvas.Height = 1024;
  canvas.TextFont = "DejaVu Sans";
  canvas.TextSize = 10;  // points at 96 pixels per inch: 13 pixels to the em
  var start = new Date().getTime();
  if (kind == "stars")
    for (var i = 0; i < count; i++)
      canvas.DrawShape(calls[i][0], calls[i][1]);
  else
    for (var i = 0; i < count; i++)
      canvas.DrawText(calls[i][0], calls[i][1]);
  var took = new Date().getTime() - start;
  best = Math.min(best, took);
  total += took;
}
Response.Write(best + " " + (total / rounds).toFixed(2) + "\n");
