Response.Write("partial body");
for (;;) {}
