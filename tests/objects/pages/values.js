// XColor, XRect and XPoint: each case makes a new object (by either
// ProgID), sets its properties in order and reads them all back; a refused
// put or get prints the error a script catches.
function line(inText) { Response.Write(inText + "\n"); }
function failure(inError) {
  return "(" + inError.number + " " + JSON.stringify(inError.description) + " " + inError.source + ")";
}

function run(inProgId, inNames, inCases) {
  line(inProgId);
  for (var c = 0; c < inCases.length; ++c) {
    var theObject = Server.CreateObject(inProgId + (c % 2 ? ".1" : ""));
    var thePuts = [];
    for (var p = 0; p < inCases[c].length; ++p) {
      var thePut = inCases[c][p][0] + "=" + inCases[c][p][1];
      try {
        theObject[inCases[c][p][0]] = inCases[c][p][1];
      } catch (theError) {
        thePut += " " + failure(theError);
      }
      thePuts.push(thePut);
    }
    var theReads = [];
    for (var n = 0; n < inNames.length; ++n) {
      try {
        theReads.push(inNames[n] + "=" + theObject[inNames[n]]);
      } catch (theError) {
        theReads.push(inNames[n] + " " + failure(theError));
      }
    }
    line("  [" + thePuts.join(", ") + "]");
    line("    " + theReads.join(" "));
  }
}

run("Tessaline4.XColor", ["String", "Red", "Green", "Blue", "Alpha", "RGB"], [
  [],
  [["String", "red"]],
  [["RGB", 255]],
  [["RGB", 0x7F123456]],
  [["Red", 150]],
  [["String", "red"], ["Red", -3]],
  [["Alpha", 50]],
  [["String", "pattern"]],
  [["String", "pattern"], ["Red", 50]],
  [["String", "red"], ["String", "bogus"]],
  [["Red", NaN]],
  [["Green", "abc"]],
]);

run("Tessaline4.XRect", ["String", "Left", "Top", "Right", "Bottom", "Width", "Height", "TopLeft", "BottomRight"], [
  [],
  [["String", "10,20,110,70"]],
  [["String", "10,20,110,70"], ["Left", 200]],
  [["String", "10,20,110,70"], ["String", "1,2,3"]],
  [["String", "10,20,110,70"], ["TopLeft", "a,b"], ["BottomRight", "7"]],
  [["BottomRight", "5,6"], ["TopLeft", "1,2"]],
  [["Left", -2147483648], ["Right", 2147483647]],
  [["Top", 2147483647], ["Bottom", -2147483648]],
]);

run("Tessaline4.XPoint", ["String", "x", "y"], [
  [],
  [["String", "5,7"]],
  [["x", 3], ["y", -4]],
  [["String", "5,7"], ["String", "5"]],
]);
