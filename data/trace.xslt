<?xml version="1.0" encoding="UTF-8"?>
<!-- Renders a driver method trace as a page people can read, in three views
     (the page's #calls, #summary and #timeline): every call, nested calls
     indented under the call that made them, with inputs, outputs, the
     result (failures stand out with their message) and the time it took,
     filtered by member, thread or failure; a summary per member; and a
     timeline of the calls of each thread. A trace that was cut short (as
     "hvzelta trace" repairs it) says where it ends and which calls were in
     flight. The calls travel in the page as data and the page shows a page
     of them at a time, so that 100 000 calls open as fast as a few. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:template match="/TraceRecords">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title>Driver trace</title>
        <style>
          body { font-family: system-ui, sans-serif; margin: 1.5em; color: #1b1f24; }
          h1 { font-size: 1.3em; margin-bottom: 0.2em; }
          .totals { color: #57606a; margin-bottom: 0.6em; }
          .cut { background: #fff8c5; border: 1px solid #d4a72c; padding: 0.6em 0.8em; margin-bottom: 0.8em; }
          .cut ul { margin: 0.3em 0 0 0; }
          nav { margin-bottom: 0.8em; border-bottom: 1px solid #d8dee4; }
          nav a { display: inline-block; padding: 0.4em 0.9em; color: #0550ae; text-decoration: none; }
          section { display: none; }
          body[data-view="calls"] #calls-view, body[data-view="summary"] #summary-view,
          body[data-view="timeline"] #timeline-view { display: block; }
          body[data-view="calls"] a[href="#calls"], body[data-view="summary"] a[href="#summary"],
          body[data-view="timeline"] a[href="#timeline"] { border-bottom: 2px solid #0550ae; font-weight: 600; }
          .filters { margin-bottom: 0.6em; font-size: 0.9em; }
          .filters select { max-width: 28em; }
          .filters .shown { color: #57606a; margin-left: 1em; }
          .pages button { margin: 0 0.3em; }
          #call-table { width: 100%; }
          #call-table td { overflow-wrap: anywhere; vertical-align: top; }
          .call { font-family: ui-monospace, monospace; white-space: nowrap; }
          .time, .thread, .duration { font-family: ui-monospace, monospace; color: #57606a; white-space: nowrap; }
          .duration { text-align: right; }
          .interface { color: #8c959f; }
          .param { display: block; font-family: ui-monospace, monospace; white-space: pre-wrap; }
          .param .name { color: #0550ae; }
          .param .type { color: #8c959f; font-size: 0.85em; }
          tr.io td { border-top: none; padding-top: 0; }
          .io-line { display: block; font-family: ui-monospace, monospace; font-size: 0.85em; color: #57606a; white-space: pre-wrap; }
          .out { color: #116329; }
          tr.failed td { background: #ffebe9; }
          tr.failed td.result { color: #82071e; font-weight: 600; }
          tr.warning td.result { color: #9a6700; }
          tr.inflight td { background: #fff8c5; }
          tr.inflight td.result { color: #9a6700; font-weight: 600; }
          .result .message { display: block; font-weight: normal; white-space: pre-wrap; }
          table { border-collapse: collapse; font-size: 0.9em; }
          th, td { text-align: left; padding: 4px 10px; border-bottom: 1px solid #d8dee4; }
          th { background: #f6f8fa; }
          td.number { text-align: right; font-family: ui-monospace, monospace; }
          #timeline-canvas { border: 1px solid #d8dee4; }
          .legend { color: #57606a; font-size: 0.85em; margin-top: 0.4em; }
        </style>
      </head>
      <body data-view="calls">
        <h1>Driver trace</h1>
        <div class="totals">
          <xsl:value-of select="count(//Method)"/>
          <xsl:text> calls, </xsl:text>
          <xsl:value-of select="count(//Method[starts-with(HRESULT/@Value, '0x8')])"/>
          <xsl:text> failed</xsl:text>
        </div>
        <xsl:apply-templates select="TraceEnd"/>
        <nav><a href="#calls">Calls</a><a href="#summary">Summary</a><a href="#timeline">Timeline</a></nav>
        <section id="calls-view">
          <div class="filters">
            <label>Member <select id="member"><option value="">all</option></select></label>
            <xsl:text> </xsl:text>
            <label>Thread <select id="thread"><option value="">all</option></select></label>
            <xsl:text> </xsl:text>
            <label><input type="checkbox" id="failed"/> failed only</label>
            <span class="shown" id="shown"></span>
            <span class="pages"><button id="previous">&#8592;</button><span id="page"></span><button id="next">&#8594;</button></span>
          </div>
          <table id="call-table">
            <thead><tr><th>Start</th><th>Thread</th><th>Call</th><th>Parameters</th><th>Result</th><th>Duration</th></tr></thead>
            <tbody id="rows"></tbody>
          </table>
        </section>
        <section id="summary-view">
          <table>
            <thead><tr><th>Member</th><th>Calls</th><th>Failed</th><th>Total</th><th>Mean</th><th>Slowest</th></tr></thead>
            <tbody id="summary-rows"></tbody>
          </table>
        </section>
        <section id="timeline-view">
          <canvas id="timeline-canvas" width="1200" height="60"></canvas>
          <div class="legend" id="legend"></div>
        </section>
        <!-- The calls as data, in pieces of 1000 top-level calls, each a
             JSON array ended by a 0 (every entry ends with a comma). A
             browser reads JSON much faster than the same text as script.
             The pieces leave the page once read: their text is most of the
             page, and a browser that keeps it, or serialises the page, pays
             for it again. -->
        <xsl:for-each select="Method[position() mod 1000 = 1]">
          <script type="application/json" class="trace-data">
            <xsl:text>[&#10;</xsl:text>
            <xsl:apply-templates select=". | following-sibling::Method[position() &lt; 1000]">
              <xsl:with-param name="depth" select="0"/>
            </xsl:apply-templates>
            <xsl:text>0]&#10;</xsl:text>
          </script>
        </xsl:for-each>
        <script><![CDATA[
(function () {
  "use strict";
  // One entry per call, in the order of the trace: depth, start time,
  // thread, counter, member, result, message, execution time, parameters
  // (direction, name, value, type), in flight, the lines of the I/O log the
  // call itself made.
  var entries = [];
  document.querySelectorAll("script.trace-data").forEach(function (piece) {
    var more = JSON.parse(piece.textContent);
    for (var i = 0; i < more.length - 1; ++i) entries.push(more[i]);
    piece.remove();
  });
  var calls = entries.map(function (c) {
    var failed = c[5].charAt(2) >= "8", inFlight = c[9] === 1;
    return { depth: c[0], startTime: c[1], thread: c[2], start: Number(c[3]), member: c[4], result: c[5],
             message: c[6], seconds: c[7] ? parseFloat(c[7]) : NaN, params: c[8], failed: failed && !inFlight,
             inFlight: inFlight, warning: !failed && c[5] !== "0x00000000" && !inFlight, io: c[10] || [] };
  });
  entries = null;

  function duration(seconds) {
    if (!isFinite(seconds)) return "";
    var units = [[1, "s"], [1e-3, "ms"], [1e-6, "\u00b5s"], [1e-9, "ns"]];
    for (var i = 0; i < units.length; ++i) {
      if (seconds >= units[i][0] || i === units.length - 1) return (seconds / units[i][0]).toFixed(3) + "\u00a0" + units[i][1];
    }
    return "";
  }
  function cell(row, text, className) {
    var td = row.insertCell();
    td.textContent = text;
    if (className) td.className = className;
  }

  // Summary per member, slowest total first.
  var members = new Map(), threads = new Set();
  calls.forEach(function (call) {
    threads.add(call.thread);
    var m = members.get(call.member);
    if (!m) members.set(call.member, m = { count: 0, failed: 0, timed: 0, total: 0, slowest: 0 });
    ++m.count;
    if (call.failed) ++m.failed;
    if (isFinite(call.seconds)) { ++m.timed; m.total += call.seconds; m.slowest = Math.max(m.slowest, call.seconds); }
  });
  var summary = document.getElementById("summary-rows");
  Array.from(members.entries()).sort(function (a, b) { return b[1].total - a[1].total; }).forEach(function (entry) {
    var m = entry[1], row = summary.insertRow();
    cell(row, entry[0]);
    cell(row, String(m.count), "number");
    cell(row, String(m.failed), "number");
    cell(row, duration(m.total), "number");
    cell(row, m.timed ? duration(m.total / m.timed) : "", "number");
    cell(row, duration(m.slowest), "number");
  });

  // Filters of the calls view.
  function options(select, values) {
    values.sort().forEach(function (value) { select.add(new Option(value, value)); });
  }
  var member = document.getElementById("member"), thread = document.getElementById("thread");
  var failed = document.getElementById("failed"), shown = document.getElementById("shown");
  options(member, Array.from(members.keys()));
  options(thread, Array.from(threads));
  // The calls that pass the filters, a page of them at a time, so that a
  // long trace costs the page no more than a short one.
  var pageSize = 500, page = 0, selected = calls;
  var body = document.getElementById("rows"), pageText = document.getElementById("page");
  function span(parent, text, className) {
    var s = document.createElement("span");
    s.textContent = text;
    if (className) s.className = className;
    parent.appendChild(s);
    return s;
  }
  function render() {
    var pages = Math.max(1, Math.ceil(selected.length / pageSize));
    page = Math.min(Math.max(page, 0), pages - 1);
    var rows = document.createDocumentFragment();
    selected.slice(page * pageSize, (page + 1) * pageSize).forEach(function (call) {
      var row = document.createElement("tr");
      row.className = call.inFlight ? "inflight" : call.failed ? "failed" : call.warning ? "warning" : "ok";
      rows.appendChild(row);
      cell(row, call.startTime, "time");
      cell(row, call.thread, "thread");
      var name = row.insertCell();
      name.className = "call";
      name.style.paddingLeft = (8 + call.depth * 24) + "px";
      var dot = call.member.lastIndexOf(".", call.member.length - 1);
      span(name, call.member.slice(0, dot + 1), "interface");
      name.appendChild(document.createTextNode(call.member.slice(dot + 1)));
      var params = row.insertCell();
      call.params.forEach(function (p) {
        var line = span(params, p[0] === "In" ? "" : "\u2192 ", p[0] === "In" ? "param" : "param out");
        span(line, p[1], "name");
        line.appendChild(document.createTextNode(" = " + p[2] + " "));
        span(line, p[3], "type");
      });
      var result = row.insertCell();
      result.className = "result";
      result.textContent = call.inFlight ? "in flight" : call.result;
      if (call.message) span(result, call.message, "message");
      cell(row, duration(call.seconds), "duration");
      // The call's exchanges with the instrument, under it.
      if (call.io.length) {
        var io = document.createElement("tr");
        io.className = "io";
        rows.appendChild(io);
        io.insertCell().colSpan = 2;
        var lines = io.insertCell();
        lines.colSpan = 4;
        lines.style.paddingLeft = (8 + call.depth * 24 + 24) + "px";
        call.io.forEach(function (line) { span(lines, line, "io-line"); });
      }
    });
    body.textContent = "";
    body.appendChild(rows);
    shown.textContent = selected.length + " of " + calls.length + " calls shown";
    pageText.textContent = "page " + (page + 1) + " of " + pages;
  }
  function filter() {
    selected = calls.filter(function (call) {
      return (!member.value || call.member === member.value) && (!thread.value || call.thread === thread.value) &&
             (!failed.checked || call.failed);
    });
    page = 0;
    render();
  }
  [member, thread, failed].forEach(function (input) { input.addEventListener("change", filter); });
  document.getElementById("previous").addEventListener("click", function () { --page; render(); });
  document.getElementById("next").addEventListener("click", function () { ++page; render(); });
  filter();

  // Timeline: one lane per thread, each top-level call a bar from its start
  // for its duration; a call in flight runs to the end of the trace.
  function drawTimeline() {
    var canvas = document.getElementById("timeline-canvas"), legend = document.getElementById("legend");
    var top = calls.filter(function (call) { return call.depth === 0 && isFinite(call.start); });
    if (!top.length) { legend.textContent = "No calls."; return; }
    var lanes = Array.from(new Set(top.map(function (call) { return call.thread; }))).sort();
    var first = Infinity, last = -Infinity;
    top.forEach(function (call) {
      first = Math.min(first, call.start);
      last = Math.max(last, call.start + (isFinite(call.seconds) ? call.seconds * 1e9 : 0));
    });
    var span = Math.max(last - first, 1), label = 110, lane = 26;
    canvas.width = Math.max(600, Math.min(1800, document.body.clientWidth - 10));
    canvas.height = lanes.length * lane + 24;
    var g = canvas.getContext("2d"), width = canvas.width - label - 10;
    g.font = "12px ui-monospace, monospace";
    lanes.forEach(function (name, i) {
      g.fillStyle = i % 2 ? "#ffffff" : "#f6f8fa";
      g.fillRect(0, i * lane, canvas.width, lane);
      g.fillStyle = "#57606a";
      g.fillText("thread " + name, 6, i * lane + 17);
    });
    top.forEach(function (call) {
      var x = label + (call.start - first) / span * width;
      var w = call.inFlight ? label + width - x : (isFinite(call.seconds) ? call.seconds * 1e9 / span * width : 0);
      g.fillStyle = call.inFlight ? "#d4a72c" : call.failed ? "#cf222e" : "#0969da";
      g.fillRect(x, lanes.indexOf(call.thread) * lane + 5, Math.max(w, 1), lane - 10);
    });
    g.fillStyle = "#57606a";
    g.fillText("0", label, canvas.height - 6);
    var end = duration(span / 1e9);
    g.fillText(end, label + width - g.measureText(end).width, canvas.height - 6);
    legend.textContent = top.length + " top-level calls on " + lanes.length + " threads over " + end +
                         "; blue: passed, red: failed, yellow: in flight.";
  }

  var drawn = false;
  function showView() {
    var view = (location.hash || "#calls").slice(1);
    if (["calls", "summary", "timeline"].indexOf(view) < 0) view = "calls";
    document.body.setAttribute("data-view", view);
    if (view === "timeline" && !drawn) { drawn = true; drawTimeline(); }
  }
  window.addEventListener("hashchange", showView);
  showView();
})();
]]></script>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="TraceEnd">
    <div class="cut">
      <strong>This trace was cut short</strong>
      <xsl:text> at line </xsl:text><xsl:value-of select="@Line"/>
      <xsl:text> (byte </xsl:text><xsl:value-of select="@Offset"/>
      <xsl:text>): the program ended without closing the driver.</xsl:text>
      <xsl:choose>
        <xsl:when test="//Method[@InFlight]">
          <xsl:text> Calls in flight:</xsl:text>
          <ul>
            <xsl:for-each select="//Method[@InFlight]">
              <li><xsl:value-of select="concat(@Interface, '.', @Name, ' (thread ', @Thread, ', started ', @StartTime, ')')"/></li>
            </xsl:for-each>
          </ul>
        </xsl:when>
        <xsl:otherwise><xsl:text> No call was in flight.</xsl:text></xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <!-- One call as an entry of the page's data, then the calls it made. -->
  <xsl:template match="Method">
    <xsl:param name="depth"/>
    <xsl:text>[</xsl:text>
    <xsl:value-of select="$depth"/>
    <xsl:for-each select="@StartTime | @Thread | @Timestamp">
      <xsl:text>,</xsl:text>
      <xsl:call-template name="string"><xsl:with-param name="text" select="."/></xsl:call-template>
    </xsl:for-each>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="concat(@Interface, '.', @Name)"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="HRESULT/@Value"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="HRESULT/@Message"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="Execution/@ExecutionTime"/></xsl:call-template>
    <xsl:text>,[</xsl:text>
    <xsl:apply-templates select="Parameter"/>
    <xsl:text>],</xsl:text>
    <xsl:value-of select="number(boolean(@InFlight))"/>
    <xsl:text>,[</xsl:text>
    <xsl:for-each select="IO">
      <xsl:if test="position() != 1">,</xsl:if>
      <xsl:call-template name="string"><xsl:with-param name="text" select="@Line"/></xsl:call-template>
    </xsl:for-each>
    <xsl:text>]],&#10;</xsl:text>
    <xsl:apply-templates select="Method">
      <xsl:with-param name="depth" select="$depth + 1"/>
    </xsl:apply-templates>
  </xsl:template>

  <!-- A parameter as [direction, name, value, type]; an array's value is its
       shape and the elements the trace holds. -->
  <xsl:template match="Parameter">
    <xsl:variable name="value">
      <xsl:choose>
        <xsl:when test="@NumDims">
          <xsl:if test="@DimSizes">[<xsl:value-of select="@DimSizes"/>]</xsl:if>
          <xsl:if test="Element">
            <xsl:text> {</xsl:text>
            <xsl:for-each select="Element">
              <xsl:value-of select="@Value"/><xsl:if test="position() != last()">, </xsl:if>
            </xsl:for-each>
            <xsl:if test="count(Element) &lt; number(substring-before(concat(@DimSizes, ','), ','))">, …</xsl:if>
            <xsl:text>}</xsl:text>
          </xsl:if>
        </xsl:when>
        <xsl:otherwise><xsl:value-of select="@Value"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:if test="position() != 1">,</xsl:if>
    <xsl:text>[</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="@Direction"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="@Name"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="$value"/></xsl:call-template>
    <xsl:text>,</xsl:text>
    <xsl:call-template name="string"><xsl:with-param name="text" select="@DataType"/></xsl:call-template>
    <xsl:text>]</xsl:text>
  </xsl:template>

  <!-- Text as a script string: quoted, with the characters that would end
       the string or the script escaped. Text that holds none of them, which
       is nearly all, is written as it is. -->
  <xsl:variable name="special" select="'&quot;\&lt;&#13;&#10;&#9;'"/>
  <xsl:template name="string">
    <xsl:param name="text"/>
    <xsl:text>"</xsl:text>
    <xsl:call-template name="escaped"><xsl:with-param name="text" select="string($text)"/></xsl:call-template>
    <xsl:text>"</xsl:text>
  </xsl:template>

  <!-- Halves the text until each part is plain or one character, so that
       long values need no deep recursion. -->
  <xsl:template name="escaped">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="string-length(translate($text, $special, '')) = string-length($text)">
        <xsl:value-of select="$text"/>
      </xsl:when>
      <xsl:when test="string-length($text) = 1">
        <xsl:choose>
          <xsl:when test="$text = '&quot;'">\"</xsl:when>
          <xsl:when test="$text = '\'">\\</xsl:when>
          <xsl:when test="$text = '&lt;'">\u003c</xsl:when>
          <xsl:when test="$text = '&#13;'">\r</xsl:when>
          <xsl:when test="$text = '&#10;'">\n</xsl:when>
          <xsl:otherwise>\t</xsl:otherwise>
        </xsl:choose>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="half" select="floor(string-length($text) div 2)"/>
        <xsl:call-template name="escaped"><xsl:with-param name="text" select="substring($text, 1, $half)"/></xsl:call-template>
        <xsl:call-template name="escaped"><xsl:with-param name="text" select="substring($text, $half + 1)"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
