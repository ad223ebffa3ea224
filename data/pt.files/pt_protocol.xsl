<?xml version="1.0" encoding="UTF-8"?>
<!-- The information window: the values of the byte under the mouse. The
     "title" attribute heads the box, every other attribute of the "data"
     element follows as a labelled line, in document order. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" omit-xml-declaration="yes" indent="no"/>

  <xsl:template match="/data" priority="1">
    <table class="info" cellspacing="0" cellpadding="2">
      <xsl:if test="@title">
        <tr><th class="title" colspan="2"><xsl:value-of select="@title"/></th></tr>
      </xsl:if>
      <!-- An attribute "x_label" is the heading of "x", not a line of its own. -->
      <xsl:for-each select="@*[local-name() != 'title' and
                               substring(local-name(), string-length(local-name()) - 5) != '_label']">
        <xsl:variable name="label" select="../@*[local-name() = concat(local-name(current()), '_label')]"/>
        <tr>
          <td class="name">
            <xsl:choose>
              <xsl:when test="$label"><xsl:value-of select="$label"/></xsl:when>
              <xsl:otherwise><xsl:apply-templates select="." mode="label"/></xsl:otherwise>
            </xsl:choose>
          </td>
          <td class="value"><xsl:value-of select="."/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>

  <!-- Friendly labels for the attributes the program writes; any other
       attribute is shown under its own name. -->
  <xsl:template match="@index" mode="label">Position</xsl:template>
  <xsl:template match="@valueDEC" mode="label">DEC</xsl:template>
  <xsl:template match="@valueHEX" mode="label">HEX</xsl:template>
  <xsl:template match="@valueBIN" mode="label">BIN</xsl:template>
  <xsl:template match="@length" mode="label">Length</xsl:template>
  <xsl:template match="@length_SDATA" mode="label">Data length</xsl:template>
  <xsl:template match="@frame_error" mode="label">Chyba rámce</xsl:template>
  <xsl:template match="@*" mode="label"><xsl:value-of select="local-name()"/></xsl:template>

  <!-- Anything but a "data" element still shows its attributes. -->
  <xsl:template match="/*">
    <table class="info" cellspacing="0" cellpadding="2">
      <tr><th class="title" colspan="2"><xsl:value-of select="local-name()"/></th></tr>
      <xsl:for-each select="@*">
        <tr>
          <td class="name"><xsl:value-of select="local-name()"/></td>
          <td class="value"><xsl:value-of select="."/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>
</xsl:stylesheet>
