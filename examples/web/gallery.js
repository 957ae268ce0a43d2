// gallery.js: the browser's script of the gallery (a file beside the server
// pages, sent as it stands). The form's preview follows the chosen picture
// and caption.
(function () {
  var theForm = document.querySelector("form");
  var thePreview = document.getElementById("preview");
  function Update()
  {
    thePreview.src = "thumbnail.sjs?file=" + encodeURIComponent(theForm.elements.file.value) + "&w=160&caption=" +
                     encodeURIComponent(theForm.elements.caption.value);
  }
  theForm.addEventListener("input", Update);
  Update();
})();
