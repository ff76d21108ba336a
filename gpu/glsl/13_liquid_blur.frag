out vec4 o;void main(){o=texelFetch(TB,ivec2(gl_FragCoord.xy),0);}
