<?xml version="1.0" encoding="UTF-8"?>
<!-- Renders a driver method trace as a page people can read: one row per
     call, nested calls indented under the call that made them, inputs and
     outputs, the result (failures stand out with their message) and the
     time each call took. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes" doctype-system="about:legacy-compat"/>

  <xsl:template match="/TraceRecords">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title>Driver trace</title>
        <style>
          body { font-family: system-ui, sans-serif; margin: 1.5em; color: #1b1f24; }
          h1 { font-size: 1.3em; margin-bottom: 0.2em; }
          .summary { color: #57606a; margin-bottom: 1em; }
          table { border-collapse: collapse; width: 100%; font-size: 0.9em; }
          th, td { text-align: left; padding: 4px 8px; border-bottom: 1px solid #d8dee4; vertical-align: top; }
          th { background: #f6f8fa; position: sticky; top: 0; }
          td.call { font-family: ui-monospace, monospace; white-space: nowrap; }
          td.time, td.thread, td.duration { font-family: ui-monospace, monospace; color: #57606a; white-space: nowrap; }
          td.duration { text-align: right; }
          .interface { color: #8c959f; }
          .param { display: block; font-family: ui-monospace, monospace; }
          .param .name { color: #0550ae; }
          .param .type { color: #8c959f; font-size: 0.85em; }
          .out { color: #116329; }
          tr.failed td { background: #ffebe9; }
          tr.failed td.result { color: #82071e; font-weight: 600; }
          tr.warning td.result { color: #9a6700; }
          td.result .message { display: block; font-weight: normal; white-space: pre-wrap; }
          .elements { color: #57606a; font-size: 0.85em; }
        </style>
      </head>
      <body>
        <h1>Driver trace</h1>
        <div class="summary">
          <xsl:value-of select="count(//Method)"/>
          <xsl:text> calls, </xsl:text>
          <xsl:value-of select="count(//Method[starts-with(HRESULT/@Value, '0x8')])"/>
          <xsl:text> failed</xsl:text>
        </div>
        <table>
          <thead>
            <tr><th>Start</th><th>Thread</th><th>Call</th><th>Parameters</th><th>Result</th><th>Duration</th></tr>
          </thead>
          <tbody>
            <xsl:apply-templates select="Method">
              <xsl:with-param name="depth" select="0"/>
            </xsl:apply-templates>
          </tbody>
        </table>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Method">
    <xsl:param name="depth"/>
    <xsl:variable name="result" select="HRESULT/@Value"/>
    <tr>
      <xsl:attribute name="class">
        <xsl:choose>
          <xsl:when test="starts-with($result, '0x8')">failed</xsl:when>
          <xsl:when test="$result != '0x00000000'">warning</xsl:when>
          <xsl:otherwise>ok</xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <td class="time"><xsl:value-of select="@StartTime"/></td>
      <td class="thread"><xsl:value-of select="@Thread"/></td>
      <td class="call" style="padding-left: {8 + $depth * 24}px">
        <span class="interface"><xsl:value-of select="@Interface"/>.</span>
        <xsl:value-of select="@Name"/>
      </td>
      <td><xsl:apply-templates select="Parameter"/></td>
      <td class="result">
        <xsl:value-of select="$result"/>
        <xsl:if test="HRESULT/@Message">
          <span class="message"><xsl:value-of select="HRESULT/@Message"/></span>
        </xsl:if>
      </td>
      <td class="duration"><xsl:call-template name="duration">
        <xsl:with-param name="text" select="Execution/@ExecutionTime"/>
      </xsl:call-template></td>
    </tr>
    <xsl:apply-templates select="Method">
      <xsl:with-param name="depth" select="$depth + 1"/>
    </xsl:apply-templates>
  </xsl:template>

  <xsl:template match="Parameter">
    <span>
      <xsl:attribute name="class">
        <xsl:text>param</xsl:text>
        <xsl:if test="@Direction != 'In'"> out</xsl:if>
      </xsl:attribute>
      <xsl:if test="@Direction != 'In'">&#8594; </xsl:if>
      <span class="name"><xsl:value-of select="@Name"/></span>
      <xsl:text> = </xsl:text>
      <xsl:choose>
        <xsl:when test="@NumDims">
          <xsl:value-of select="@DataType"/>
          <xsl:if test="@DimSizes"> [<xsl:value-of select="@DimSizes"/>]</xsl:if>
          <xsl:if test="Element">
            <span class="elements"> {<xsl:for-each select="Element">
              <xsl:value-of select="@Value"/><xsl:if test="position() != last()">, </xsl:if>
            </xsl:for-each><xsl:if test="count(Element) &lt; number(substring-before(concat(@DimSizes, ','), ','))">, …</xsl:if>}</span>
          </xsl:if>
        </xsl:when>
        <xsl:otherwise>
          <xsl:value-of select="@Value"/>
          <xsl:text> </xsl:text>
          <span class="type"><xsl:value-of select="@DataType"/></span>
        </xsl:otherwise>
      </xsl:choose>
    </span>
  </xsl:template>

  <!-- Execution times come as "%e" text ("1.234000e-05"), which XPath 1.0
       cannot read as a number: the mantissa is scaled into the unit that
       fits the exponent. -->
  <xsl:template name="duration">
    <xsl:param name="text"/>
    <xsl:variable name="mantissa" select="number(substring-before($text, 'e'))"/>
    <xsl:variable name="signed" select="substring-after($text, 'e')"/>
    <xsl:variable name="exponent">
      <xsl:choose>
        <xsl:when test="starts-with($signed, '+')"><xsl:value-of select="number(substring($signed, 2))"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="number($signed)"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($mantissa) = 'NaN' or string(number($exponent)) = 'NaN'">
        <xsl:value-of select="$text"/>
      </xsl:when>
      <xsl:when test="$exponent &gt;= 0">
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$mantissa"/><xsl:with-param name="shift" select="$exponent"/><xsl:with-param name="unit" select="'s'"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$exponent &gt;= -3">
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$mantissa"/><xsl:with-param name="shift" select="$exponent + 3"/><xsl:with-param name="unit" select="'ms'"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$exponent &gt;= -6">
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$mantissa"/><xsl:with-param name="shift" select="$exponent + 6"/><xsl:with-param name="unit" select="'µs'"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$mantissa"/><xsl:with-param name="shift" select="$exponent + 9"/><xsl:with-param name="unit" select="'ns'"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="scaled">
    <xsl:param name="value"/>
    <xsl:param name="shift"/>
    <xsl:param name="unit"/>
    <xsl:choose>
      <xsl:when test="$shift &gt; 0 and $shift &lt; 400">
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$value * 10"/><xsl:with-param name="shift" select="$shift - 1"/><xsl:with-param name="unit" select="$unit"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$shift &lt; 0 and $shift &gt; -400">
        <xsl:call-template name="scaled"><xsl:with-param name="value" select="$value div 10"/><xsl:with-param name="shift" select="$shift + 1"/><xsl:with-param name="unit" select="$unit"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="format-number($value, '0.0##')"/>&#160;<xsl:value-of select="$unit"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
